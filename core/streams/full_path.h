// Absolute paths with "\" separators, built the way the stream layer needs them.
#pragma once

#include <cstddef>

namespace Korvo {

// Make path absolute against baseFolder (null: the stream table's current folder);
// out holds outCapacity bytes. 0, or -1 when the result would not fit.
int BuildFullPath(const char *path, char *out, const char *baseFolder, size_t outCapacity = 260);
// The same with a given CharSetCode and, when upperCase is set, ASCII letters
// upper-cased (the archive path search compares paths this way).
int BuildFullPathWith(const char *path, char *out, size_t outCapacity, const char *baseFolder, int charSet,
                      int upperCase);

}  // namespace Korvo
