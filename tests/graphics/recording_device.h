// The recording stand-in of the device (see recording_device.cpp).
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace RecordingDevice {

struct Call {
    std::string kind;  // "RS", "TSS" (stage * 1000 + type), "SAMP", "TEX", "DRAW", or a wrapper's name
    uint32_t state;
    uint32_t value;
    bool operator==(const Call &other) const = default;
};

extern std::vector<Call> Calls;

// The vertices of one DrawPrimitiveUP, as sent.
struct DrawnBatch {
    uint32_t type;
    uint32_t stride;
    std::vector<uint8_t> bytes;
};
extern std::vector<DrawnBatch> DrawnVertices;
// Whether G_D3D_HasDevice answers 1
extern bool Present;
// Formats the format checks accept
extern std::vector<uint32_t> SupportedFormats;
// The highest multisample type the adapter takes, and the quality levels it reports
extern uint32_t MaxMultiSampleType;
// The indices of the last indexed draw
extern std::vector<uint16_t> StripIndices;
// The vertex pointer of the last indexed draw
extern const void *StripVertices;
// The vertices of the last indexed draw, as sent
extern std::vector<uint8_t> StripVertexBytes;
extern uint32_t ColourQualityLevels;
extern uint32_t DepthQualityLevels;

// A buffer the stand-in handed out: how it was asked for and its bytes.
struct HandedOutBuffer {
    uint32_t length;
    uint32_t usage;
    uint32_t format;  // FVF of a vertex buffer, index format of an index buffer
    std::vector<uint8_t> bytes;
};
// With this set, buffer creation hands out stand-in objects (else none), whose
// locks give their bytes
extern bool HandOutBuffers;
// Every object given to D3DRes_Release, in order
extern std::vector<const void *> ReleasedObjects;
// Told about each object given to D3DRes_Release (null: nobody)
extern void (*ReleaseListener)(const void *object);
// The stand-in behind a handed-out buffer not released yet, or null
const HandedOutBuffer *FindHandedOutBuffer(const void *object);

// The format and size D3DSurf_GetDesc reports (0 until set; Reset clears them)
extern uint32_t SurfaceFormat;
extern uint32_t SurfaceWidth;
extern uint32_t SurfaceHeight;
// With this set, render targets and offscreen surfaces are handed out (else
// none); their creation is recorded with the width as state, the height as value
extern bool HandOutSurfaces;
// Wrappers, by name, that fail (and hand out nothing) until Reset
extern std::set<std::string> FailingCalls;
bool Fails(const char *name);
// A volume texture the stand-in handed out: its pool and its bytes (4 per texel,
// rows and slices packed), while it is not released
struct HandedOutVolume {
    uint32_t pool;
    uint32_t width, height, depth;
    std::vector<uint8_t> bytes;
};
// The volume textures handed out and not released yet
std::vector<const HandedOutVolume *> LiveVolumes();
// Answers texture locks when set: the bytes and pitch of (texture, level); a
// null answer fails the lock. Unset, locks succeed with no bytes.
extern void *(*TextureLockHook)(const void *texture, unsigned level, int *pitch);

void Record(const char *kind, uint32_t state, uint32_t value);
bool Supports(uint32_t format);
// Forget the calls; the device exists
void Reset();

} // namespace RecordingDevice
