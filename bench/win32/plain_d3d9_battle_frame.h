// A plain Direct3D 9 program drawing what one Velmora battle frame draws: the
// same draw calls (kind, primitive count, vertex size, screen place and size),
// the same texture sizes and texture and blend changes, on its own window and
// device with the same presentation settings as the library's windowed road.
// The battle-frame benchmark times it beside the library as the platform's
// speed for that frame.
#pragma once

#include <windows.h>

namespace KorvoBench {

class PlainD3D9BattleFrame {
public:
    // Window, device and textures; false when Direct3D 9 cannot be set up.
    bool Start(bool waitForVerticalBlank);
    // One frame: the draws, the present and the window's messages.
    void DrawFrame();
    void Stop();
    // How many draw calls one frame makes.
    static int DrawCallsPerFrame();

    struct Objects;

private:
    Objects *objects_ = nullptr;
};

}  // namespace KorvoBench
