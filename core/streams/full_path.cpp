// Absolute path building: "/" and "\" alike, "." and ".." folded, double-byte aware.
#include "core/streams/full_path.h"

#include "core/text/dbcs_string.h"
#include "core/streams/stream_table.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
static const size_t kBaseFolderCapacity = 256;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------
static bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

namespace {
// A bounded output string; `failed` sticks once something did not fit.
struct PathBuilder {
    char *out;
    size_t capacity;
    size_t length = 0;
    bool failed = false;

    void Append(const char *text, size_t n)
    {
        if (failed || n >= capacity - length) {
            failed = true;
            return;
        }
        std::memcpy(out + length, text, n);
        length += n;
        out[length] = '\0';
    }
};
}  // namespace

// Cut the last component: back to the previous separator, never past a drive's ":".
static void RemoveLastComponent(PathBuilder &b, int charSet)
{
    size_t lastSeparator = (size_t)-1, lastColon = (size_t)-1;
    for (size_t i = 0; i < b.length; i++) {
        if (IsMultiByteLeadByte((unsigned char)b.out[i], charSet) && i + 1 < b.length) {
            i++;
            continue;
        }
        if (IsSeparator(b.out[i])) lastSeparator = i;
        if (b.out[i] == ':') lastColon = i;
    }
    if (lastSeparator != (size_t)-1 && (lastColon == (size_t)-1 || lastSeparator > lastColon))
        b.length = lastSeparator;
    else if (lastColon != (size_t)-1)
        b.length = lastColon + 1;
    b.out[b.length] = '\0';
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// The same with a given CharSetCode and optional upper-casing.
int BuildFullPathWith(const char *path, char *out, size_t outCapacity, const char *baseFolder, int charSet,
                      int upperCase)
{
    if (out == nullptr || outCapacity == 0) return -1;
    out[0] = '\0';
    char base[kBaseFolderCapacity];
    if (baseFolder == nullptr) {
        char current[kPlainPathCapacity] = {};
        GetStreamDirectory(current);
        size_t length = strnlen(current, sizeof current);
        if (length >= sizeof base) return -1;
        std::memcpy(base, current, length + 1);
        baseFolder = base;
    }
    PathBuilder b{out, outCapacity};
    if (path == nullptr) {
        b.Append(baseFolder, std::strlen(baseFolder));
        if (b.failed) out[0] = '\0';
        return b.failed ? -1 : 0;
    }

    const char *p = path;
    if (IsSeparator(p[0]) && IsSeparator(p[1])) {
        b.Append("\\", 1);
        p += 2;
    } else if (IsSeparator(p[0])) {
        b.Append(baseFolder, std::strlen(baseFolder) < 2 ? std::strlen(baseFolder) : 2);
        p += 1;
    } else if (p[0] != '\0' && p[1] == ':') {
        b.Append(p, 2);
        p += 2;
        if (IsSeparator(*p)) p++;
    } else {
        size_t n = std::strlen(baseFolder);
        if (n > 0 && IsSeparator(baseFolder[n - 1])) n--;
        b.Append(baseFolder, n);
    }

    while (*p != '\0' && !b.failed) {
        size_t n = 0;
        while (p[n] != '\0' && !IsSeparator(p[n])) {
            if (IsMultiByteLeadByte((unsigned char)p[n], charSet) && p[n + 1] != '\0') n += 2;
            else n += 1;
        }
        if (n == 2 && p[0] == '.' && p[1] == '.') {
            RemoveLastComponent(b, charSet);
        } else if (n > 0 && !(n == 1 && p[0] == '.')) {
            b.Append("\\", 1);
            b.Append(p, n);
        }
        p += n;
        while (IsSeparator(*p)) p++;
    }
    if (b.failed) {
        out[0] = '\0';
        return -1;
    }
    if (upperCase) UppercaseStringInCharSet(out, charSet);
    return 0;
}

// Make path absolute against baseFolder (null: the stream table's current folder).
int BuildFullPath(const char *path, char *out, const char *baseFolder, size_t outCapacity)
{
    return BuildFullPathWith(path, out, outCapacity, baseFolder, GetCharSetCode(), 0);
}

}  // namespace Korvo
