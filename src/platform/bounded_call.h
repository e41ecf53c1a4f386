// A blocking call whose caller waits a bounded time, whatever the call does.
//
// Some system calls cannot be bounded from outside: under Wine a WinINet or
// MSXML request to a server that accepts and never answers waits for
// minutes, a connect that never completes fails only after the system's SYN
// retries, and closing the handles from another thread does not wake the
// blocked call. So such a call runs on a thread of its own and the caller
// waits for it only until its deadline (or until the caller's CancelFlag is
// raised). A call that has not returned by then is abandoned: its stop flag
// is raised, the caller goes on with a failure, and the thread ends on its
// own whenever the call it is stuck in returns; what it produces then is
// thrown away. The work must therefore own everything it touches (capture by
// value or through shared pointers), never the caller's stack.
//
// Abandoned threads cost a stack each, so at most kMaxLiveCalls calls may
// be running at a time (abandoned ones included); further calls are refused
// at once instead of piling up threads.
#pragma once

#include <functional>

#include "platform/worker.h"

namespace lh::platform {

enum class BoundedOutcome {
  Finished,   // the work returned in time
  TimedOut,   // abandoned at the deadline
  Cancelled,  // abandoned because the caller's flag was raised
  Refused,    // too many calls still running, or no thread could be made
};

inline constexpr int kMaxLiveCalls = 8;

// Runs `work` on a new thread and waits at most `timeoutMs`. `work` gets a
// flag that is raised when it is abandoned, so it can stop early between its
// steps. After Finished, everything `work` wrote is visible to the caller.
BoundedOutcome runBounded(std::function<void(const CancelFlag& stop)> work, int timeoutMs,
                          const CancelFlag* cancel = nullptr);

// How many bounded calls are running now (abandoned ones included).
int liveBoundedCalls();

}  // namespace lh::platform
