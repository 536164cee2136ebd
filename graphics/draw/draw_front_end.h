// What every draw entry shares: waiting while the application is inactive, the
// draw-target image of the software road, the vertex colour of the Direct3D
// road, the masked-draw bracket and the subtractive-blend emulation.
#pragma once

#include "core/korvo_types.h"
#include "core/system/message_pump_hooks.h"
#include "graphics/device/d3d9_types.h"
#include "softraster/memimg.h"

namespace Korvo {

// DrawVertexColor from the blend mode, parameter and bright colour
void ComputeDrawVertexColor();
// The software draw image (mask screen, graph or screen), or null
MEMIMG *GetDrawTargetMemImg();
// The blend image of software draws (the blend graph's), or null
MEMIMG *GetBlendMemImg();
void SetBlendMemImg(MEMIMG *image);
// 1 when drawing is suspended or the DrawArea is empty: draw entries return 0 at once
int DrawEntriesIdle();
// Store the bright colour; software and Direct3D follow
void StoreBrightColor(uint32_t colour);
// A primitive colour (PackScreenColor value) modulated by DrawVertexColor
K_D3DCOLOR ModulatePrimitiveColor(int colour);
// Run a back end inside the mask bracket and the subtractive-blend emulation as needed
template <typename BackEnd> int RunDrawBackEnd(const RECT &affected, bool emulateSubtract, BackEnd backEnd);
// The emulation halves (target - source = invert(invert(target) + source))
void EmulateSubtractBlendBegin(const RECT &rect);
void EmulateSubtractBlendEnd(const RECT &rect);
// Free the vertex scratch of DrawVertexList2D (library end)
void FreeDrawVertexScratch();
// Store the blend graph selection (extra: the type's values); 0 or -1
int ApplyBlendGraphSelection(int handle, int type, const int *extra);
// A blend graph selection as ApplyBlendGraphSelection takes it (handle -1: none)
struct BlendGraphSelection {
    int handle;
    int type;
    int values[2];
};
// Switch the blend graph off as selecting none does, for draws that must not go
// through it; the selection before, for ResumeBlendGraph
BlendGraphSelection SuspendBlendGraph();
// Select a suspended blend graph again, with its type and values
void ResumeBlendGraph(const BlendGraphSelection &saved);
// Whether a draw in the current blend mode needs the emulation on the Direct3D road
bool SubtractEmulationNeeded(bool deviceDraw);

} // namespace Korvo

#include "graphics/draw/masks.h"

namespace Korvo {

template <typename BackEnd> int RunDrawBackEnd(const RECT &affected, bool emulateSubtract, BackEnd backEnd)
{
    if (!emulateSubtract && IsMaskScreenEnabled() == 0) {
        return backEnd();
    }
    if (IsMaskScreenEnabled() != 0) {
        BeginMaskedDrawRect(affected);
    }
    int result;
    if (emulateSubtract) {
        EmulateSubtractBlendBegin(affected);
        result = backEnd();
        EmulateSubtractBlendEnd(affected);
    } else {
        result = backEnd();
    }
    if (IsMaskScreenEnabled() != 0) {
        EndMaskedDrawRect(affected);
    }
    return result;
}

} // namespace Korvo
