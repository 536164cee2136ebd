// Clipboard text (CF_TEXT) of the main window.
//
// Reads never write past the caller's buffer; every failure of a write is
// reported and frees the block that the clipboard did not take.

#include "core/system/window_state.h"
#include "core/system/win32/window_state.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Copy the clipboard's text into buffer (cut to bufferSize - 1 bytes), or tell the size to pass
int ReadClipboardAnsiText(char *buffer, int bufferSize)
{
    if (!OpenClipboard(WindowState.window)) {
        return -1;
    }
    int result = -1;
    HANDLE data = GetClipboardData(CF_TEXT);
    if (data != nullptr) {
        SIZE_T dataSize = GlobalSize(data);
        if (buffer == nullptr) {
            result = static_cast<int>(dataSize) + 1;
        } else if (bufferSize > 0) {
            const char *text = static_cast<const char *>(GlobalLock(data));
            if (text != nullptr) {
                size_t limit = static_cast<size_t>(bufferSize) - 1;
                if (limit > dataSize) {
                    limit = dataSize;
                }
                size_t length = strnlen(text, limit);
                std::memcpy(buffer, text, length);
                buffer[length] = '\0';
                GlobalUnlock(data);
                result = 0;
            }
        }
    }
    CloseClipboard();
    return result;
}

// Hand a copy of the text to the clipboard
int WriteClipboardAnsiText(const char *text)
{
    if (text == nullptr) {
        return -1;
    }
    size_t size = std::strlen(text) + 1;
    HGLOBAL block = GlobalAlloc(GMEM_FIXED, size);
    if (block == nullptr) {
        return -1;
    }
    std::memcpy(reinterpret_cast<void *>(block), text, size);
    if (!OpenClipboard(WindowState.window)) {
        GlobalFree(block);
        return -1;
    }
    EmptyClipboard();
    // The clipboard owns the block only when SetClipboardData succeeds.
    if (SetClipboardData(CF_TEXT, block) == nullptr) {
        GlobalFree(block);
        CloseClipboard();
        return -1;
    }
    CloseClipboard();
    return 0;
}

} // namespace Korvo
