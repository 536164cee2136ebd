// The file handle kind (17): records that own a stream of the installed set.
#include "core/memory/handle_manager.h"
#include "core/streams/stream_table.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
struct FileHandleRecord {
    HandleRecordHeader header;
    StreamHandle stream;  // 0 = none
};

void ResetStreamOpsTables();

// ---------------------------------------------------------------------------
// Globals
// ---------------------------------------------------------------------------
static const int kMaxFileHandles = 32768;
static int g_fileHandleTypeReady;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------
static int InitFileHandleRecord(void *)
{
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Register the file handle kind and fill the StreamOpsTable instances; 0, -1 if done already
int InitFileHandleType()
{
    if (g_fileHandleTypeReady) return -1;
    if (RegisterHandleType(HANDLE_KIND_FILE, (int)sizeof(FileHandleRecord), kMaxFileHandles, InitFileHandleRecord,
                           CloseFileHandleRecord, "ファイル") != 0)
        return -1;
    ResetStreamOpsTables();
    g_fileHandleTypeReady = 1;
    return 0;
}

// Unregister the file handle kind; 0, -1 if not registered
int TermFileHandleType()
{
    if (!g_fileHandleTypeReady) return -1;
    UnregisterHandleType(HANDLE_KIND_FILE);
    g_fileHandleTypeReady = 0;
    return 0;
}

// Delete callback of kind 17: closes the record's stream; 0
int CloseFileHandleRecord(void *record)
{
    auto *file = static_cast<FileHandleRecord *>(record);
    if (file->stream != 0) {
        CloseFileStream(file->stream);
        file->stream = 0;
    }
    return 0;
}

}  // namespace Korvo
