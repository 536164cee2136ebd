// A stream over one member of a KVA archive on disk.
#pragma once

#include "core/streams/kva_archive.h"

#include <cstddef>

namespace Korvo {

// One open member. Packed members are expanded whole at open (or at the first
// poll when opened asynchronously); stored members are read from the archive file.
struct KvaMemberStream {
    KvaArchive *archive;
    const KvaFileEntry *entry;
    int eof;
    int position;
    unsigned char *decoded;        // packed members: their bytes
    unsigned char *packed;         // while a packed read is pending
    Win32FileRecord *file;         // the member's own record on the archive file
    int useAsync;
    int pendingKind;               // 0 none, 1 packed read, 2 stored read
    uint32_t pendingKeyPosition;
    unsigned char *pendingBuffer;
    size_t pendingBytes;
    int failed;                    // the packed bytes did not expand: reads give nothing
};

// Open the member at innerPath; 0, or -1 with nothing left open
int OpenKvaMemberStream(KvaMemberStream *stream, KvaArchive *archive, const char *innerPath, int useAsync);
// Read whole elements at the position; the number read
size_t ReadKvaMemberStream(KvaMemberStream *stream, void *buffer, size_t elementSize, size_t count);
// Move the position (clamped to the member); 0
int SeekKvaMemberStream(KvaMemberStream *stream, int offset, int origin);
// The position
int TellKvaMemberStream(KvaMemberStream *stream);
// -1 once a read found nothing left, else 0
int IsKvaMemberAtEnd(KvaMemberStream *stream);
// 1 when nothing is pending (finishing a pending read that has arrived), else 0
int PollKvaMemberStream(KvaMemberStream *stream);
// Finish pending work, free the buffers and close the member's file; 0
int CloseKvaMemberStream(KvaMemberStream *stream);

}  // namespace Korvo
