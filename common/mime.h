// File extensions (without the dot) for the MIME types that pages offer in file inputs.
#pragma once
#include <map>
#include <string>

class MimeTypeTable {
public:
    static const MimeTypeTable& Instance();
    // Exact, case-sensitive lookup; false when the type is not in the table.
    bool ExtensionForMimeType(const std::wstring& mimeType, std::wstring* extension) const;
    size_t size() const { return rows_.size(); }
    // Every row, ordered by MIME type.
    const std::map<std::wstring, std::wstring>& rows() const { return rows_; }

private:
    MimeTypeTable();
    std::map<std::wstring, std::wstring> rows_;
};
