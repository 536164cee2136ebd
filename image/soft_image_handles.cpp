// Soft-image handle kind: registration, deletion of every record and the
// delete callback that frees a record's image.
#include "image/soft_image_handles.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Globals
// ---------------------------------------------------------------------------

static int g_softImageKindRegistered = 0;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static int InitSoftImageRecord(void *)
{
    return 0;
}

static int DeleteSoftImageRecord(void *record)
{
    FreeImageRecord(&((SoftImageItem *)record)->image);
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Register the soft-image kind
int InitSoftImageHandleType()
{
    if (g_softImageKindRegistered)
        return -1;
    if (RegisterHandleType(kSoftImageHandleKind, (int)sizeof(SoftImageItem), kMaxSoftImageHandles,
                           InitSoftImageRecord, DeleteSoftImageRecord, "ソフトイメージ") != 0)
        return -1;
    g_softImageKindRegistered = 1;
    return 0;
}

// Delete every soft-image handle
int DeleteAllSoftImageHandles()
{
    return DeleteHandlesOfType(kSoftImageHandleKind, nullptr);
}

// Unregister the soft-image kind
int TermSoftImageHandleType()
{
    if (!g_softImageKindRegistered)
        return -1;
    UnregisterHandleType(kSoftImageHandleKind);
    g_softImageKindRegistered = 0;
    return 0;
}

} // namespace Korvo
