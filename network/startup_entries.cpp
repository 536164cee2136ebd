// Network entries of the core runtime's sequences: the per-frame pump and the shut-down.

#include "network/startup_entries.h"

#include "core/log/error_log.h"
#include "network/network_handle.h"
#include "network/network_window.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// DeleteHandlesOfType's selector: 0 deletes a handle in use that is broken, or
// closed, read to the end and allowed to go; a handle inside a transfer stays
static int KeepsNetworkHandle(void *record)
{
    const NetworkHandleRecord *network = static_cast<const NetworkHandleRecord *>(record);
    if (network->inUse == 0 || network->receiving != 0 || network->sending != 0) {
        return 1;
    }
    if (network->error != 0) {
        return 0;
    }
    return network->connected == 0 && network->stateWords[0] == 1 && network->autoDelete != 0 ? 0 : 1;
}

// Stop the worker thread and wait until it says it has finished
static void StopNetworkWorker()
{
    if (HasThreadHandle(&NetworkModule.worker) == 0) {
        return;
    }
    NetworkModule.workerStop.store(1);
    while (NetworkModule.workerFinished.load() == 0) {
        SleepMilliseconds(1);
    }
    CloseThreadRecord(&NetworkModule.worker);
}

// Back to the state of a module never started
static void ClearNetworkModuleState()
{
    NetworkModule.initialised = 0;
    NetworkModule.listeningHandle = -1;
    NetworkModule.acceptUnframed = 0;
    NetworkModule.acceptKeepsClosed = 0;
    NetworkModule.acceptMaxMessageBytes = 0;
    NetworkModule.window = nullptr;
    NetworkModule.windowClosed = 0;
    NetworkModule.worker = ThreadRecord{};
    NetworkModule.workerStop.store(0);
    NetworkModule.workerFinished.store(0);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// End the network module when it is started
int TermNetworkModule()
{
    if (NetworkModule.initialised == 0) {
        return 0;
    }
    AppendLogText("ネットワーク関連の終了処理を行います \n");
    StopNetworkWorker();
    UnregisterHandleType(HANDLE_KIND_NETWORK);
    if (NetworkModule.window != nullptr) {
        CloseNetworkWindow(NetworkModule.window);
    }
    ClearNetworkModuleState();
    if (SocketCalls.cleanup != nullptr) {
        SocketCalls.cleanup();
    }
    AppendLogText("ネットワーク関連の終了処理は完了しました\n");
    return 0;
}

// Delete closed auto-delete handles (deleteFlag 1) and serve the network window
int PumpNetworkWindowMessages(int deleteFlag)
{
    if (NetworkModule.initialised == 0 || NetworkModule.window == nullptr || NetworkModule.windowClosed != 0) {
        return 0;
    }
    NetworkKindLock lock;
    if (deleteFlag == 1 && HandleTypeTable[HANDLE_KIND_NETWORK].registered != 0) {
        DeleteHandlesOfType(HANDLE_KIND_NETWORK, KeepsNetworkHandle);
    }
    DispatchNetworkWindowMessages(NetworkModule.window);
    return 0;
}

} // namespace Korvo
