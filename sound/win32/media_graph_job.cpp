// The media-graph conversion's own thread and the caller's bounded wait for it.

#include "sound/win32/media_graph_job.h"

#include "core/log/error_log.h"
#include "core/memory/tracked_alloc.h"
#include "core/system/platform_libraries.h"
#include "sound/sound_platform.h"
#include "sound/wave_chunks.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
// The caller's wait between two looks at the messages and the progress (ms).
constexpr DWORD kWaitStepMs = 100;
// How long a caller that ends the application lets the thread release its
// graph, which it does within one of its own steps (ms).
constexpr DWORD kQuitGraceMs = 2000;

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------
int MediaGraphStallLimitMs = 30000;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
// What the thread needs of the platform, taken while the library is surely up:
// a thread given up on may end after the library has let its table go.
struct MediaGraphThreadStart {
    MediaGraphJob *job;
    decltype(&::CoInitializeEx) coInitializeEx;
    decltype(&::CoUninitialize) coUninitialize;
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Drop one reference; the last frees the job and what it still holds
static void ReleaseMediaGraphJob(MediaGraphJob *job)
{
    if (InterlockedDecrement(&job->references) != 0) {
        return;
    }
    CloseHandle(job->finished);
    TrackedFree(job->input);
    TrackedFree(job->pcm.pcm);
    TrackedFree(job);
}

static DWORD WINAPI MediaGraphThreadProc(void *data)
{
    MediaGraphThreadStart start = *static_cast<MediaGraphThreadStart *>(data);
    TrackedFree(data);
    MediaGraphJob *job = start.job;
    // The graph lives in an apartment of this thread's own.
    bool apartment = start.coInitializeEx != nullptr && SUCCEEDED(start.coInitializeEx(nullptr, COINIT_MULTITHREADED));
    job->failure = ConvertJobWithMediaGraph(job);
    if (apartment && start.coUninitialize != nullptr) {
        start.coUninitialize();
    }
    SetEvent(job->finished);
    ReleaseMediaGraphJob(job);
    return 0;
}

// Stop waiting: the thread stops at its next step and frees the job
static void GiveUpMediaGraphJob(MediaGraphJob *job, DWORD graceMs)
{
    InterlockedExchange(&job->givenUp, 1);
    if (graceMs != 0) {
        WaitForSingleObject(job->finished, graceMs);
    }
    ReleaseMediaGraphJob(job);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// The input whole, the finish event, two references
MediaGraphJob *CreateMediaGraphJob(AudioDecodeState *state)
{
    MediaGraphJob *job = static_cast<MediaGraphJob *>(KORVO_TRACKED_ALLOC_ZEROED(sizeof(MediaGraphJob)));
    if (job == nullptr) {
        return nullptr;
    }
    job->input = ReadWholeDecodeInput(state, &job->inputSize);
    job->finished = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (job->input == nullptr || job->finished == nullptr) {
        if (job->finished != nullptr) {
            CloseHandle(job->finished);
        }
        TrackedFree(job->input);
        TrackedFree(job);
        return nullptr;
    }
    job->references = 2;
    return job;
}

void NoteMediaGraphProgress(MediaGraphJob *job)
{
    InterlockedIncrement(&job->progress);
}

// Start the thread, then wait in steps: the application's end and a stall both
// give the job up
const char *RunMediaGraphJobBounded(MediaGraphJob *job, AudioDecodeState *state)
{
    MediaGraphThreadStart *start =
        static_cast<MediaGraphThreadStart *>(KORVO_TRACKED_ALLOC_ZEROED(sizeof(MediaGraphThreadStart)));
    HANDLE thread = nullptr;
    if (start != nullptr) {
        start->job = job;
        start->coInitializeEx = PlatformLibraries.ole32.CoInitializeEx;
        start->coUninitialize = PlatformLibraries.ole32.CoUninitialize;
        thread = CreateThread(nullptr, 0, MediaGraphThreadProc, start, 0, nullptr);
    }
    if (thread == nullptr) {
        TrackedFree(start);
        ReleaseMediaGraphJob(job); // the thread's reference
        ReleaseMediaGraphJob(job);
        return "MP3変換用のスレッドの作成に失敗しました";
    }
    CloseHandle(thread);

    LONG seen = job->progress;
    DWORD seenAt = GetTickCount();
    for (;;) {
        if (PumpMessagesForSound() != 0) {
            GiveUpMediaGraphJob(job, kQuitGraceMs);
            return "MP3変換の途中でソフトが終了しました";
        }
        if (WaitForSingleObject(job->finished, kWaitStepMs) == WAIT_OBJECT_0) {
            break;
        }
        LONG now = InterlockedCompareExchange(&job->progress, 0, 0);
        if (now != seen) {
            seen = now;
            seenAt = GetTickCount();
        } else if (GetTickCount() - seenAt > static_cast<DWORD>(MediaGraphStallLimitMs)) {
            AppendLogLineFormat("MP3変換が %d ミリ秒の間進まなかったため中断しました", MediaGraphStallLimitMs);
            GiveUpMediaGraphJob(job, 0);
            return "MP3変換の途中でエラーが発生しました";
        }
    }
    const char *failure = job->failure;
    if (failure == nullptr) {
        state->memory = job->pcm;
        state->format = job->format;
        std::memset(&job->pcm, 0, sizeof(job->pcm));
    }
    ReleaseMediaGraphJob(job);
    return failure;
}

} // namespace Korvo
