// The table of open KVA archives (4096 slots) and the archive path search.
//
// Archives stay open after their last reference is dropped, for reuse; they are
// closed by ReleaseUnusedArchives at module end or when the table is full.
#include "core/streams/archive_table.h"

#include "core/text/dbcs_string.h"
#include "core/streams/full_path.h"
#include "core/streams/plain_file.h"
#include "core/threads/section_lock.h"
#include "core/memory/tracked_alloc.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
namespace {
struct ArchiveSlot {
    int referenceCount;
    KvaArchive archive;
    char path[kArchiveSlotPathCapacity];  // upper-cased full path
};
}  // namespace

// ---------------------------------------------------------------------------
// Globals
// ---------------------------------------------------------------------------
static ArchiveSlot *g_archiveSlots[kMaxOpenArchives];
static int g_archiveCount;
static int g_archiveModuleStarted;
static CRITICAL_SECTION g_archiveLock;

// The last successful search, for paths inside the same folder.
static char g_lastFolder[kKvaPathCapacity];
static size_t g_lastFolderLength;
static char g_lastArchiveOpenPath[kKvaPathCapacity];
static char g_lastArchiveComparePath[kArchiveSlotPathCapacity];
static int g_lastArchiveNumber = -1;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------
static bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

static void CopyBounded(char *out, const char *text, size_t length)
{
    std::memcpy(out, text, length);
    out[length] = '\0';
}

// Open or reuse an archive: compared by its upper-cased path, opened by the path
// as written (the same file on Windows, and the only one on case-sensitive hosts).
static int OpenArchiveCased(int archiveNumber, const char *openPath, const char *comparePath)
{
    if (std::strlen(comparePath) >= kArchiveSlotPathCapacity) return -1;
    if (archiveNumber >= 0 && archiveNumber < kMaxOpenArchives && g_archiveSlots[archiveNumber] != nullptr &&
        std::strcmp(g_archiveSlots[archiveNumber]->path, comparePath) == 0) {
        g_archiveSlots[archiveNumber]->referenceCount++;
        return archiveNumber;
    }
    int freeSlot = -1;
    for (int i = 0; i < kMaxOpenArchives; i++) {
        ArchiveSlot *slot = g_archiveSlots[i];
        if (slot == nullptr) {
            if (freeSlot < 0) freeSlot = i;
            continue;
        }
        if (std::strcmp(slot->path, comparePath) == 0) {
            slot->referenceCount++;
            return i;
        }
    }
    if (g_archiveCount >= kMaxOpenArchives) {
        ReleaseUnusedArchives();
        if (g_archiveCount >= kMaxOpenArchives) return -1;
        for (freeSlot = 0; g_archiveSlots[freeSlot] != nullptr; freeSlot++) {
        }
    }
    auto *slot = static_cast<ArchiveSlot *>(KORVO_TRACKED_ALLOC_ZEROED(sizeof(ArchiveSlot)));
    if (slot == nullptr) return -1;
    if (OpenKvaArchiveFile(&slot->archive, openPath) != 0) {
        TrackedFree(slot);
        return -1;
    }
    slot->referenceCount = 1;
    std::strcpy(slot->path, comparePath);
    g_archiveSlots[freeSlot] = slot;
    g_archiveCount++;
    return freeSlot;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Create the archive lock and start the module; 0, -1 if already started
int InitArchiveModule()
{
    if (g_archiveModuleStarted) return -1;
    InitSectionLock(&g_archiveLock);
    g_archiveModuleStarted = 1;
    ReleaseUnusedArchives();
    return 0;
}

// Release unused archives and delete the lock; 0, -1 if not started
int EndArchiveModule()
{
    if (!g_archiveModuleStarted) return -1;
    ReleaseUnusedArchives();
    g_lastArchiveNumber = -1;
    DeleteSectionLock(&g_archiveLock);
    g_archiveModuleStarted = 0;
    return 0;
}

// Start the module unless it runs already
void EnsureArchiveModule()
{
    if (!g_archiveModuleStarted) InitArchiveModule();
}

// Take the archive lock
void LockArchiveTable()
{
    EnsureArchiveModule();
    AcquireSectionLock(&g_archiveLock);
}

// Leave the archive lock
void UnlockArchiveTable()
{
    ReleaseSectionLock(&g_archiveLock);
}

// Reuse or open an archive and count one reference; its number or -1
int OpenArchiveByPath(int archiveNumber, const char *path)
{
    LockArchiveTable();
    int result = OpenArchiveCased(archiveNumber, path, path);
    UnlockArchiveTable();
    return result;
}

// Close and free every archive whose reference count is 0 or less; 0
int ReleaseUnusedArchives()
{
    for (int i = 0; i < kMaxOpenArchives; i++) {
        ArchiveSlot *slot = g_archiveSlots[i];
        if (slot == nullptr || slot->referenceCount > 0) continue;
        DisposeKvaArchiveRecord(&slot->archive);
        TrackedFree(slot);
        g_archiveSlots[i] = nullptr;
        g_archiveCount--;
        if (i == g_lastArchiveNumber) g_lastArchiveNumber = -1;
    }
    return 0;
}

// Drop one reference (not below 0); 0, -1 for a number that names no archive
int ReleaseArchiveReference(int archiveNumber)
{
    LockArchiveTable();
    int result = -1;
    if (archiveNumber >= 0 && archiveNumber < kMaxOpenArchives && g_archiveSlots[archiveNumber] != nullptr) {
        if (g_archiveSlots[archiveNumber]->referenceCount > 0) g_archiveSlots[archiveNumber]->referenceCount--;
        result = 0;
    }
    UnlockArchiveTable();
    return result;
}

// The archive of a number, or null
KvaArchive *GetArchiveByNumber(int archiveNumber)
{
    if (archiveNumber < 0 || archiveNumber >= kMaxOpenArchives || g_archiveSlots[archiveNumber] == nullptr)
        return nullptr;
    return &g_archiveSlots[archiveNumber]->archive;
}

// The reference count of an archive, -1 for a number that names none
int GetArchiveReferenceCount(int archiveNumber)
{
    if (GetArchiveByNumber(archiveNumber) == nullptr) return -1;
    return g_archiveSlots[archiveNumber]->referenceCount;
}

// Find the archive named after the shallowest folder of a path that has one.
int FindArchiveForPath(const char *path, int *archiveNumber, char *archivePath, char *innerPath)
{
    char full[kKvaPathCapacity];
    char upper[kKvaPathCapacity];
    char current[kPlainPathCapacity] = {};
    if (path == nullptr || GetPlainDirectory(current) == 0) return -1;
    const int charSet = GetCharSetCode();
    if (BuildFullPathWith(path, full, sizeof full, current, charSet, 0) != 0) return -1;
    std::strcpy(upper, full);
    UppercaseStringInCharSet(upper, charSet);

    LockArchiveTable();
    int number = -1;
    size_t folderLength = 0;
    // Fast path: the folder of the last archive found holds this path too.
    if (g_lastArchiveNumber >= 0 && std::strncmp(upper, g_lastFolder, g_lastFolderLength) == 0 &&
        IsSeparator(upper[g_lastFolderLength])) {
        number = OpenArchiveCased(g_lastArchiveNumber, g_lastArchiveOpenPath, g_lastArchiveComparePath);
        if (number >= 0) folderLength = g_lastFolderLength;
    }
    // Walk the folders from the shallowest: the first archive that opens decides.
    char openPath[kKvaPathCapacity];
    char comparePath[kKvaPathCapacity];
    size_t i = (IsSeparator(full[0]) && IsSeparator(full[1])) ? 2 : 0;
    for (; number < 0 && full[i] != '\0'; i++) {
        if (IsMultiByteLeadByte((unsigned char)full[i], charSet) && full[i + 1] != '\0') {
            i++;
            continue;
        }
        if (!IsSeparator(full[i]) || i == 0 || full[i - 1] == ':' || IsSeparator(full[i - 1])) continue;
        if (i + 5 > sizeof openPath) break;
        CopyBounded(openPath, full, i);
        std::strcat(openPath, ".KVA");
        CopyBounded(comparePath, upper, i);
        std::strcat(comparePath, ".KVA");
        number = OpenArchiveCased(-1, openPath, comparePath);
        if (number >= 0) {
            folderLength = i;
            CopyBounded(g_lastFolder, upper, i);
            g_lastFolderLength = i;
            std::strcpy(g_lastArchiveOpenPath, openPath);
            std::strcpy(g_lastArchiveComparePath, comparePath);
            g_lastArchiveNumber = number;
        }
    }
    if (number >= 0) {
        if (archiveNumber) *archiveNumber = number;
        if (archivePath) std::strcpy(archivePath, g_archiveSlots[number]->archive.path);
        if (innerPath) std::strcpy(innerPath, full + folderLength + 1);
    }
    UnlockArchiveTable();
    return number >= 0 ? 0 : -1;
}

}  // namespace Korvo
