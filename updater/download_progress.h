// What the download loop reports to whoever shows its progress.
#pragma once
#include <windows.h>

class DownloadProgress {
public:
    virtual ~DownloadProgress() = default;
    // Called once the server has answered and after each stored block; `total` is 0 when the
    // server announced no length. Returning false stops the download.
    virtual bool OnProgress(ULONGLONG received, ULONGLONG total) = 0;
    // The download loop has ended, for whatever reason.
    virtual void Finished() = 0;
    // The user asked to stop.
    virtual bool Cancelled() const = 0;
};
