// The GDI road of the bitmap importers: GDI draws any DIB layout into a 24-bit
// top-down DIB section, whose pixels become the image.
#include <windows.h>

#include <cstring>

#include "core/log/error_log.h"
#include "core/memory/tracked_alloc.h"
#include "image/dib_format.h"

namespace Korvo {

// Let GDI draw a DIB into a 24-bit top-down image
int DrawDibThroughGdi(const K_BITMAPINFO *info, const void *bits, RasterImage *out)
{
    static_assert(sizeof(K_BITMAPINFOHEADER) == sizeof(BITMAPINFOHEADER), "DIB header layout");
    int width = info->bmiHeader.biWidth;
    int height = info->bmiHeader.biHeight < 0 ? -info->bmiHeader.biHeight : info->bmiHeader.biHeight;

    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) {
        AppendLogText("ＤＩＢの作成に失敗しました3\n");
        return -1;
    }
    BITMAPINFO section;
    std::memset(&section, 0, sizeof(section));
    section.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    section.bmiHeader.biWidth = width;
    section.bmiHeader.biHeight = -height;
    section.bmiHeader.biPlanes = 1;
    section.bmiHeader.biBitCount = 24;
    section.bmiHeader.biCompression = BI_RGB;
    void *sectionBits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &section, DIB_RGB_COLORS, &sectionBits, nullptr, 0);
    if (!bitmap || !sectionBits) {
        if (bitmap)
            DeleteObject(bitmap);
        DeleteDC(dc);
        AppendLogText("ＤＩＢの作成に失敗しました3\n");
        return -1;
    }
    BITMAP bm;
    GetObjectA(bitmap, sizeof(bm), &bm);
    int pitch = (bm.bmWidthBytes + 3) / 4 * 4;

    HGDIOBJ old = SelectObject(dc, bitmap);
    SetDIBitsToDevice(dc, 0, 0, (DWORD)width, (DWORD)height, 0, 0, 0, (UINT)height, bits,
                      (const BITMAPINFO *)info, DIB_RGB_COLORS);
    SelectObject(dc, old);
    DeleteDC(dc);

    void *pixels = KORVO_TRACKED_ALLOC((size_t)pitch * height);
    if (!pixels) {
        DeleteObject(bitmap);
        AppendLogText("２４ビットカラー化したグラフィックを格納するメモリ領域の確保に失敗しました\n");
        return -1;
    }
    std::memcpy(pixels, sectionBits, (size_t)pitch * height);
    DeleteObject(bitmap);

    InitRgb24Format(&out->format);
    out->width = width;
    out->height = height;
    out->pitch = pitch;
    out->pixels = pixels;
    out->mipLevelCount = 0;
    return 0;
}

} // namespace Korvo
