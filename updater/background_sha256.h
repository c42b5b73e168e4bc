// SHA-256 of a download taken on a thread of its own while the download goes on: the signed
// check needs both digests of every byte, and one thread taking MD5 and SHA-256 one after the
// other would hold the transfer back to their sum. Blocks are copied into a bounded queue;
// Add waits (boundedly) when the hashing falls that far behind.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "updater/signature.h"

class BackgroundSha256 {
public:
    // At most this many bytes wait for the hashing thread.
    static constexpr size_t kMaxQueuedBytes = 16u << 20;
    // A hashing thread that takes no block for this long counts as failed (the download then
    // fails as a failed store); hashing a queued block takes milliseconds.
    static constexpr unsigned kStuckMs = 60000;

    BackgroundSha256();
    ~BackgroundSha256();
    BackgroundSha256(const BackgroundSha256&) = delete;
    BackgroundSha256& operator=(const BackgroundSha256&) = delete;

    // Queues a copy of the bytes. False once hashing failed or got stuck.
    bool Add(const char* data, size_t size);
    // Waits for the queued blocks and gives the digest of everything added; false when hashing
    // failed or did not finish in time. Call once.
    bool Finish(Sha256Digest& digest);

private:
    void Run();
    // Called with the lock held: waits until `ready` holds or the hashing thread took nothing
    // for kStuckMs; false in the latter case.
    template <typename Ready>
    bool WaitProgress(std::unique_lock<std::mutex>& lock, Ready ready);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> queue_;
    std::vector<std::string> spare_;
    size_t queuedBytes_ = 0;
    unsigned long long taken_ = 0;  // blocks the thread has taken, for the stuck watch
    bool ending_ = false;
    bool stop_ = false;
    bool idle_ = true;  // the thread holds no block
    bool failed_ = false;
    Sha256Stream sha_;
    std::thread thread_;
};
