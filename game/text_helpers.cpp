// Multi-line text drawing, string splitting and number formatting.
#include "game/text_helpers.h"

#include <sstream>

#include "korvo.h"

using namespace Korvo;

// Draw each line of the text one font pitch below the last
void DrawMultiLineText(const char *text, int x, int y, int colour)
{
    const std::vector<std::string> lines = SplitString(text, "\n");
    const int pitch = GetStandardFontPixelSize();
    for (size_t k = 0; k < lines.size(); ++k) {
        DrawTextWithStandardFont(x, y + static_cast<int>(k) * pitch, lines[k].c_str(), colour, 0);
    }
}

// Cut the text at every occurrence of the delimiter
std::vector<std::string> SplitString(const std::string &text, const std::string &delimiter)
{
    std::vector<std::string> pieces;
    if (delimiter.empty()) {
        pieces.push_back(text);
        return pieces;
    }
    size_t start = 0;
    for (;;) {
        const size_t found = text.find(delimiter, start);
        if (found == std::string::npos) {
            pieces.push_back(text.substr(start));
            return pieces;
        }
        pieces.push_back(text.substr(start, found - start));
        start = found + delimiter.size();
    }
}

// Format through a string stream
std::string IntToString(int value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}
