// The updater's one window of its own: the download's progress with a Cancel button, also shown
// on the taskbar button. It lives on a thread of its own so that it stays responsive while the
// download blocks the updater's main thread, and it is shown only while a download runs.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "updater/download_progress.h"

// "12.3 MB", "850 KB", "17 B": sizes as the window shows them (1 KB = 1024 bytes).
std::wstring FormatBytes(ULONGLONG bytes);
// The line under the bar: received of total and the share done, or the bytes alone when the
// server announced no length.
std::wstring ReceivedText(ULONGLONG received, ULONGLONG total);
// "速度 3.4 MB/s"; empty while no speed is known yet.
std::wstring SpeedText(double bytesPerSecond);

// Speed over the last second or so, from samples taken at the window's refresh ticks.
class SpeedMeter {
public:
    void Sample(ULONGLONG tickMs, ULONGLONG received);
    // Bytes per second, or a negative value before there is enough to say.
    double BytesPerSecond() const { return speed_; }

private:
    static constexpr int kSamples = 11;  // 1 s of 100 ms ticks
    ULONGLONG ticks_[kSamples] = {};
    ULONGLONG bytes_[kSamples] = {};
    int count_ = 0;
    int next_ = 0;
    double speed_ = -1;
};

class ProgressWindow : public DownloadProgress {
public:
    // `version` is the offered version, named in the window.
    explicit ProgressWindow(std::wstring version);
    ~ProgressWindow() override;
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    // DownloadProgress methods (called on the downloading thread):
    bool OnProgress(ULONGLONG received, ULONGLONG total) override;
    void Finished() override;
    bool Cancelled() const override;

    static constexpr const wchar_t* kClassName = L"QuorvUpdateProgress";
    static constexpr const wchar_t* kTitle = L"正在下载更新";
    // The window redraws on this tick only, so however fast blocks arrive it changes at most
    // ten times a second and the download never waits for it.
    static constexpr UINT kRefreshMs = 100;

    struct State;

private:
    void Open();

    std::shared_ptr<State> state_;
    HANDLE thread_ = nullptr;
    bool shown_ = false;
};
