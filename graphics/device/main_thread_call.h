// Running a call on the main thread for an asynchronous-load worker.
//
// RunOnMainThread(context, call) runs call() at once when context is null (the
// caller is the main thread); otherwise it hands call to the main thread with
// RequestMainThreadCall and blocks until the main thread has run it. The request
// record lives on the worker's stack until then.
#pragma once

#include "core/threads/async_load.h"

#include <type_traits>

namespace Korvo {

template <typename Call>
struct MainThreadCallRecord {
    MainThreadRequest request; // first, so the queue's pointer is the record's
    Call *call;
    std::conditional_t<std::is_void_v<decltype((*call)())>, int, decltype((*call)())> result;
};

// Run call() on the main thread (now, when context is null); its result
template <typename Call>
auto RunOnMainThread(void *context, Call call) -> decltype(call())
{
    using Result = decltype(call());
    if (context == nullptr) {
        return call();
    }
    MainThreadCallRecord<Call> record = {};
    record.call = &call;
    record.request.callback = [](MainThreadRequest *request) -> int {
        auto *own = reinterpret_cast<MainThreadCallRecord<Call> *>(request);
        if constexpr (std::is_void_v<Result>) {
            (*own->call)();
        } else {
            own->result = (*own->call)();
        }
        return 0;
    };
    RequestMainThreadCall(&record.request);
    if constexpr (!std::is_void_v<Result>) {
        return record.result;
    }
}

} // namespace Korvo
