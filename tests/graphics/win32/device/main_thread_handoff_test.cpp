// A device call from an asynchronous-load worker runs on the main thread.

#include "library_session.h"
#include "tests/support/wait_backstop.h"

#include "core/threads/async_load.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/device/main_thread_call.h"

#include <atomic>

using namespace Korvo;

namespace {

std::atomic<DWORD> WorkerThread{0};
std::atomic<DWORD> CallThread{0};
std::atomic<K_HRESULT> CreateResult{-1};
std::atomic<int> VertexBufferResult{0};
K_IDirect3DTexture9 *CreatedTexture = nullptr;
std::atomic<int> JobDone{0};

int HandOffJob(AsyncLoadJob *job)
{
    WorkerThread = GetCurrentThreadId();
    CallThread = RunOnMainThread(job, [] { return GetCurrentThreadId(); });
    CreateResult = D3DDev_CreateTextureOnMainThread(16, 16, 1, 0, K_D3DFMT_A8R8G8B8, K_D3DPOOL_DEFAULT,
                                                   &CreatedTexture, job);
    K_IDirect3DVertexBuffer9 *buffer = nullptr;
    VertexBufferResult = D3DDev_CreateVertexBufferOnMainThread(480, K_D3DUSAGE_WRITEONLY, 0x2D2, K_D3DPOOL_DEFAULT,
                                                              &buffer, job);
    if (buffer != nullptr) {
        D3DRes_ReleaseOnMainThread(buffer, job);
    }
    JobDone = 1;
    return 0;
}

TEST(MainThreadHandoffTest, AWorkersDeviceCallsRunOnTheMainThread)
{
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    ASSERT_EQ(GraphicsState.direct3DModeActive, 1);
    AsyncLoadJob *job = AllocAsyncLoadJob(0);
    ASSERT_NE(job, nullptr);
    job->callback = HandOffJob;
    QueueAsyncLoadJob(job);
    KorvoTest::Backstop backstop("the job's device calls", KorvoTest::kWaitBackstopSeconds);
    while ((JobDone == 0 || GetQueuedAsyncJobCount() > 0) && !backstop.Passed()) {
        RunMainThreadRequests();
        Sleep(1);
    }
    ASSERT_EQ(JobDone.load(), 1) << backstop.Report();
    EXPECT_EQ(CallThread.load(), GetCurrentThreadId());
    EXPECT_NE(WorkerThread.load(), GetCurrentThreadId());
    EXPECT_GE(CreateResult.load(), 0);
    EXPECT_NE(CreatedTexture, nullptr);
    EXPECT_EQ(VertexBufferResult.load(), 0);
    if (CreatedTexture != nullptr) {
        D3DRes_Release(CreatedTexture);
    }
    EXPECT_EQ(ShutdownLibrary(), 0);
}

} // namespace
