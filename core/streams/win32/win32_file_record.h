// The Windows plain-file record, shared by the caller side and the file thread.
#pragma once

#include <windows.h>

#include "core/streams/plain_file.h"

namespace Korvo {

// Commands posted to a file thread.
enum FileThreadCommand {
    FILE_THREAD_OPEN = 0,
    FILE_THREAD_CLOSE_HANDLE = 1,
    FILE_THREAD_READ = 2,
    FILE_THREAD_SEEK = 3,
    FILE_THREAD_EXIT = 4,
};

// One open plain file, read directly or through its own file thread.
struct Win32FileRecord {
    HANDLE file;            // direct mode
    int threaded;           // useCache or useAsync
    int useCache;
    int useAsync;
    int eof;
    int position;           // the caller's read position
    int size;               // taken at open
    DWORD threadId;         // the thread's parameter points here
    HANDLE thread;
    HANDLE threadFile;      // owned by the thread, 0 while closed
    HANDLE commandEvent;    // manual reset: a command is waiting
    HANDLE doneEvent;       // manual reset: no command is running
    int command;
    int threadEnded;
    int openFailed;
    char path[kPlainPathCapacity];
    void *readBuffer;
    int readPosition;
    int readBytes;          // still to read; after the read, bytes read directly
    int readDelivered;      // bytes the last read command delivered in all
    int readRequested;      // bytes the caller asked of it (0: none outstanding)
    int seekTarget;
    unsigned char *cache;   // kFileCacheBytes read ahead, null without useCache
    int cacheStart;
    int cacheFill;
};

// The file thread: runs the posted commands and reads ahead while idle.
DWORD WINAPI PlainFileThreadProc(LPVOID threadIdField);

}  // namespace Korvo
