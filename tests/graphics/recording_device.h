// The recording stand-in of the device (see recording_device.cpp).
#pragma once

#include <cstdint>
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

void Record(const char *kind, uint32_t state, uint32_t value);
bool Supports(uint32_t format);
// Forget the calls; the device exists
void Reset();

} // namespace RecordingDevice
