#include "common/escaping.h"

#include "common/text.h"

std::wstring EscapeJsonString(const std::wstring& value) {
    static const wchar_t kHex[] = L"0123456789abcdef";
    std::wstring out;
    out.reserve(value.size());
    for (wchar_t c : value) {
        switch (c) {
            case L'"':
                out += L"\\\"";
                break;
            case L'\\':
                out += L"\\\\";
                break;
            case L'\b':
                out += L"\\b";
                break;
            case L'\f':
                out += L"\\f";
                break;
            case L'\n':
                out += L"\\n";
                break;
            case L'\r':
                out += L"\\r";
                break;
            case L'\t':
                out += L"\\t";
                break;
            default:
                if (c < 0x20) {
                    out += L"\\u00";
                    out += kHex[(c >> 4) & 0xF];
                    out += kHex[c & 0xF];
                } else {
                    out += c;
                }
        }
    }
    return out;
}

std::wstring EncodeQueryValue(const std::wstring& value) {
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring out;
    out.reserve(value.size());
    // Byte by byte over the UTF-8 form: ASCII bytes are the characters themselves, and every
    // byte of a non-ASCII character is encoded.
    for (unsigned char byte : WideToUtf8(value)) {
        bool encode =
            byte < 0x20 || byte >= 0x7F || byte == '+' || byte == '&' || byte == '#' || byte == '%' || byte == ' ';
        if (encode) {
            out += L'%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += static_cast<wchar_t>(byte);
        }
    }
    return out;
}
