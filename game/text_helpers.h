// Small text routines of the scenes: multi-line drawing, splitting, numbers.
#pragma once

#include <string>
#include <vector>

// Draw a text that may hold "\n" as lines one standard-font size apart.
void DrawMultiLineText(const char *text, int x, int y, int colour);
// The pieces between occurrences of the delimiter, empty ones included.
std::vector<std::string> SplitString(const std::string &text, const std::string &delimiter);
// The decimal text of a value ("-5" for -5).
std::string IntToString(int value);
