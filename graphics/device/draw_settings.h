// DrawSettings: the draw state every draw call reads, with its start-up defaults.
#pragma once

#include "graphics/public_api.h"

#include "core/korvo_types.h"
#include "core/math/vector_math.h"
#include "graphics/device/d3d9_types.h"

namespace Korvo {

// Routine that rebuilds graph contents after the device was lost.
typedef void (*GraphRestoreCallback)();

// Z enable mode, Z write, Z function and depth bias of one kind of draw.
struct DepthSettings {
    int zEnableMode;
    int zWrite;
    int zFunc;
    int depthBias;
};

// The clip area of drawing (right and bottom exclusive).
typedef RECT DrawArea;

struct DrawSettings {
    // Kept by ResetDrawSettings
    GraphRestoreCallback graphRestoreCallback;
    int noVerticalSync;
    int noVerticalSyncAtStartup;
    int doubled320x240Request;
    int drawingSuspended;
    int lightingOff;
    int materialChanged;
    K_D3DMATERIAL9 material;
    int useMaterialDiffuse;
    int useMaterialSpecular;
    // Zeroed and set by ResetDrawSettings
    int selectedDrawTarget;
    DrawArea drawArea;
    float drawAreaF[4];         // the DrawArea as floats (left, top, right, bottom)
    int drawAreaEmpty;          // while set every draw entry returns 0 at once
    RECT rawDrawArea;           // the values last given to SetDrawClipArea
    int projectionKind;         // 0 perspective, 1 orthographic, 2 caller's matrix
    float projectionNear;
    float projectionFar;
    float aspectFactor;
    float fieldOfView;
    float orthoHeight;
    RowMatrix4 callerProjection;
    float cameraScale;
    DepthSettings depth2D;      // draws without flag 0x800
    DepthSettings depth3D;      // draws with flag 0x800
    int fillMode;
    int cullMode;               // 0 none, 2 clockwise, other counter-clockwise
    int addressU[8];
    int addressV[8];
    int addressW[8];
    int fogEnable;
    int fogMode;
    K_D3DCOLOR fogColor;
    float fogStart;
    float fogEnd;
    float fogDensity;
    float z2D;                  // Z written into staged 2-D vertices
    int filterMode;             // 0 point, 1 bilinear, 2 anisotropic
    int maxAnisotropy;
    int blendMode;              // DrawBlendMode
    int blendParam;
    int blendGraph;             // -1 none
    int furtherBlend;           // the further blend setting (forces alpha blending)
    int alphaTestMode;          // -1 the library's own
    int alphaTestParam;
    int specularOff;
    uint32_t brightColor;       // 0x00RRGGBB, 0xFFFFFF none
    int alphaTestKeySetting;
    int lightsChanged;
    int blendGraphBorder;       // threshold blend graph: border and ramp (0..255)
    int blendGraphRamp;
    int blendGraphType;         // of the selected blend graph: 0 cross-fade, 1 threshold, 2 alpha masking
    int blendGraphFade;         // cross-fade: the blend graph's weight (0..255)
};

// The diffuse colour of every Direct3D 2-D vertex (alpha: blend parameter, RGB: bright colour).
extern K_D3DCOLOR DrawVertexColor;

extern DrawSettings Draw;

// Defaults of DrawSettings (start-up); 0
int ResetDrawSettings();

} // namespace Korvo
