// Vertex buffer (kind 15) and index buffer (kind 16) handles: a kept copy the
// library owns and, while a device exists, a device buffer filled from it. The
// kept copy survives device loss and is written back into a re-created buffer.
#pragma once

#include "core/memory/handle_manager.h"

namespace Korvo {

struct BufferRecord {
    HandleRecordHeader header;
    int elementSize;   // bytes of a vertex or an index
    int elementCount;
    void *kept;        // elementSize x elementCount bytes
    void *device;      // K_IDirect3DVertexBuffer9 or K_IDirect3DIndexBuffer9, null without a device
};

constexpr int kBufferVertexBytes = 48;  // FVF 0x2D2: position, normal, diffuse, specular, two 2-D coordinates
constexpr int kBufferIndexBytes = 2;    // 16-bit indices

int InitBufferHandleTypes();
int TermBufferHandleTypes();

// A buffer of count zeroed elements; -1 for a count below 1 or no memory
int CreateVertexBufferHandle(int count);
int CreateIndexBufferHandle(int count);
int DeleteVertexBufferHandle(int handle);
int DeleteIndexBufferHandle(int handle);

// Write count elements from data at first into the kept copy and the device
// buffer; -1 for an invalid handle, null data, a negative first or count, or a
// range past the end
int SetVertexBufferData(int first, const void *data, int count, int handle);
int SetIndexBufferData(int first, const void *data, int count, int handle);

// The record of a valid, loaded buffer handle of the kind; null otherwise
BufferRecord *LookupBufferRecord(int kind, int handle);

// Release every device buffer (kept copies stay); 0
int ReleaseBufferDeviceObjects();
// Re-create every device buffer and fill it from its kept copy; 0, -1 when one failed
int RestoreBufferDeviceObjects();

} // namespace Korvo
