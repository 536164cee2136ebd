// Fonts built on the asynchronous-load workers: the caller gets its handle at
// once, every font operation refuses it while the build is pending, and the
// build hands its cache texture work to the main thread.

#include "font/font_record.h"

#include "graphics/device/main_thread_call.h"

namespace Korvo {

int QueueAsyncFontBuild(const FontBuildParams &params)
{
    AsyncLoadJob *job = PackFontBuildJob(params, RunAsyncFontBuild);
    // Queueing for the handle frees the job when it fails.
    return job != nullptr ? QueueAsyncLoadJobForHandle(job, params.handle) : -1;
}

int RunAsyncFontBuild(AsyncLoadJob *job)
{
    FontBuildParams params;
    UnpackFontBuildJob(job, &params);
    PassAsyncJobCheckpoint(job, FONT_BUILD_STARTING);
    if (CreateFontToHandle(params.size, &params.settings, params.handle, params.face, params.thickness, params.type,
                           params.charSet, params.edgeSize, params.italic, 1) == 0) {
        PassAsyncJobCheckpoint(job, FONT_BUILD_BUILT);
        ReleasePendingLoadJob(params.handle);
        return 0;
    }
    // A failed font is released and deleted in one step on the main thread: the
    // main thread never finds it valid half built, and its cache graph, when it
    // has one, releases its textures on the thread that owns the device.
    int handle = params.handle;
    RunOnMainThread(job, [handle] {
        ReleasePendingLoadJob(handle);
        DeleteHandleRecord(handle);
    });
    return 0;
}

} // namespace Korvo
