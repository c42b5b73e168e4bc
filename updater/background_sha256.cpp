#include "updater/background_sha256.h"

#include <chrono>
#include <system_error>

BackgroundSha256::BackgroundSha256() {
    try {
        thread_ = std::thread(&BackgroundSha256::Run, this);
    } catch (const std::system_error&) {
        failed_ = true;  // no thread: the caller takes the digest from the file afterwards
    }
}

BackgroundSha256::~BackgroundSha256() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    // The thread ends after the block it holds, if any: a few milliseconds.
    if (thread_.joinable()) thread_.join();
}

template <typename Ready>
bool BackgroundSha256::WaitProgress(std::unique_lock<std::mutex>& lock, Ready ready) {
    unsigned long long seen = taken_;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStuckMs);
    while (!ready()) {
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout && !ready()) {
            if (taken_ == seen) return false;
            seen = taken_;
            deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStuckMs);
        }
    }
    return true;
}

bool BackgroundSha256::Add(const char* data, size_t size) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (failed_ || ending_) return false;
    if (size == 0) return true;
    if (!WaitProgress(lock, [&] { return failed_ || queuedBytes_ + size <= kMaxQueuedBytes || queue_.empty(); })) {
        failed_ = true;
    }
    if (failed_) return false;
    std::string block;
    if (!spare_.empty()) {
        block = std::move(spare_.back());
        spare_.pop_back();
    }
    block.assign(data, size);
    queuedBytes_ += size;
    queue_.push_back(std::move(block));
    lock.unlock();
    changed_.notify_all();
    return true;
}

bool BackgroundSha256::Finish(Sha256Digest& digest) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (ending_) return false;
    ending_ = true;
    if (!WaitProgress(lock, [&] { return failed_ || (queue_.empty() && idle_); })) failed_ = true;
    if (failed_) return false;
    return sha_.Finish(digest);
}

void BackgroundSha256::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stop_ || !queue_.empty(); });
        if (stop_) return;
        std::string block = std::move(queue_.front());
        queue_.pop_front();
        ++taken_;
        idle_ = false;
        lock.unlock();
        const bool ok = sha_.Update(block.data(), block.size());
        lock.lock();
        queuedBytes_ -= block.size();
        if (!ok) failed_ = true;
        if (spare_.size() < 8) spare_.push_back(std::move(block));
        idle_ = true;
        changed_.notify_all();
    }
}
