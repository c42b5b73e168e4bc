// Files for the settings tests: a temporary folder of the test's own, removed afterwards,
// and raw byte access to what the private-profile functions wrote.
#pragma once
#include <string>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

std::string ReadBytes(const std::wstring& file);
void WriteBytes(const std::wstring& file, const std::string& bytes);
