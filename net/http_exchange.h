// Inside the request class: one request's handles, run on a receiving thread of its own, and
// what that thread hands to the caller. The caller waits with the class's limits and, when one
// runs out, leaves the thread behind: a WinINet call blocked on a silent peer can then hold
// neither the caller nor what the caller owns (a download's file).
#pragma once
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "common/handles.h"
#include "net/http_interface.h"

struct HttpFailure {
    HttpInterfaceError error;
};

[[noreturn]] inline void Raise(HttpInterfaceError error) { throw HttpFailure{error}; }

struct HttpExchange {
    // What the receiving thread is waiting for; the caller bounds each phase.
    enum Phase : int { Connecting, Handshake, Exchanging, Done };

    // Handles, used by the receiving thread only while it runs (then by the owner object).
    qv::unique_hinternet session;
    qv::unique_hinternet connection;
    qv::unique_hinternet request;

    // Set once at the start, read by the thread.
    HttpFlavor flavor = HttpFlavor::Client();
    HttpTimeouts timeouts = HttpTimeouts::Defaults();
    std::string url;
    bool post = false;
    std::string headers;
    std::string body;
    bool wantsToken = false;
    DWORD flags = HttpInterface::kRequestFlags;
    bool streaming = false;  // a download: blocks go to `blocks`, not to `reply`

    std::atomic<int> phase{Connecting};
    std::atomic<ULONGLONG> phaseSince{0};
    std::atomic<unsigned long long> arrived{0};  // body bytes received so far

    std::mutex mutex;
    std::condition_variable changed;
    // Under `mutex`:
    bool done = false;
    int32_t error = 0;
    bool answered = false;  // the final answer's headers are in
    bool lengthKnown = false;
    unsigned long long announced = 0;
    std::string reply;
    bool hasToken = false;
    std::string token;
    std::deque<std::string> blocks;      // received, not yet taken by the caller
    std::vector<std::string> spare;      // taken and given back, for reuse
    std::atomic<bool> abandoned{false};  // the caller stopped waiting: end as soon as possible

    void SetPhase(Phase next) {
        phaseSince = GetTickCount64();
        phase = next;
    }
    // The receiving thread's whole work; ends with `done` set.
    void Run();

private:
    DWORD SendOnce(const std::string& target, bool asPost, bool withHeaders);
    std::string LocationValue();
    void Exchange();
    void ReadReply();
    void ReadBlocks();
    std::string ReadHeaderBlock();
};
