#include "common/mime.h"

MimeTypeTable::MimeTypeTable()
    : rows_{
          {L"application/msword", L"doc"},
          {L"application/vnd.openxmlformats-officedocument.wordprocessingml.document", L"docx"},
          {L"application/vnd.ms-excel", L"xls"},
          {L"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet", L"xlsx"},
          {L"application/pdf", L"pdf"},
          {L"text/xml", L"xml"},
          {L"video/mpeg", L"mpg"},
          {L"video/x-sgi-movie", L"movie"},
          {L"application/zip", L"zip"},
          {L"image/png", L"png"},
          {L"image/jpeg", L"jpg"},
          {L"image/gif", L"gif"},
          {L"image/bmp", L"bmp"},
          {L"audio/x-wav", L"wav"},
          {L"application/x-rar-compressed", L"rar"},
          {L"audio/mpeg", L"mp3"},
          {L"application/vnd.ms-powerpoint", L"ppt"},
          {L"video/x-msvideo", L"avi"},
          {L"text/plain", L"txt"},
          {L"application/x-shockwave-flash", L"swf"},
      } {}

const MimeTypeTable& MimeTypeTable::Instance() {
    static const MimeTypeTable table;
    return table;
}

bool MimeTypeTable::ExtensionForMimeType(const std::wstring& mimeType, std::wstring* extension) const {
    auto it = rows_.find(mimeType);
    if (it == rows_.end()) return false;
    if (extension) *extension = it->second;
    return true;
}
