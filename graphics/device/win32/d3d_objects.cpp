// The Direct3D objects the graphics module holds and the DirectDraw identifiers.
// Kept apart from the wrappers so that a stand-in of the wrappers can replace
// them without taking these along.

#include "graphics/device/win32/d3d_objects.h"

namespace Korvo {

Direct3DObjects D3DObjects = {};

const GUID K_CLSID_DirectDraw7 = {0x3c305196, 0x50db, 0x11d3, {0x9c, 0xfe, 0x00, 0xc0, 0x4f, 0xd9, 0x30, 0xc5}};
const GUID K_IID_IDirectDraw7 = {0x15e65ec0, 0x3b9c, 0x11d2, {0xb9, 0x2f, 0x00, 0x60, 0x97, 0x97, 0xea, 0x5b}};

} // namespace Korvo
