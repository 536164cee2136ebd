// Font records through the handle manager: the look-up of every font operation,
// which refuses a font whose build is still queued or running on a load worker,
// and the build's own look-up, which takes it.

#include "font/font_record.h"

namespace Korvo {

FontHandleRecord *LookupFontRecord(int handle)
{
    // The pending count is read with acquire ordering: once it reads 0, all that a
    // build on a worker wrote into the record is seen here.
    if (handle < 0 || HandleKindOf(handle) != HANDLE_KIND_FONT || HasPendingLoadJob(handle) != 0) {
        return nullptr;
    }
    return static_cast<FontHandleRecord *>(LookupHandleRecord(handle));
}

FontHandleRecord *LookupFontRecordForBuild(int handle, int async)
{
    if (async == 0) {
        return LookupFontRecord(handle);
    }
    if (handle < 0 || HandleKindOf(handle) != HANDLE_KIND_FONT) {
        return nullptr;
    }
    return static_cast<FontHandleRecord *>(LookupHandleRecord(handle));
}

} // namespace Korvo
