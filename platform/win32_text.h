// UTF-8 <-> UTF-16 for the Windows API calls of the platform layer (window titles, dialog
// texts and the paths they return). Windows only; the editor keeps UTF-8 everywhere else.
#pragma once

#include <windows.h>

#include <string>

namespace morva {

// The UTF-16 form of UTF-8 text; invalid bytes become U+FFFD.
inline std::wstring WidenUtf8(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring out(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), &out[0], n);
    return out;
}

// The UTF-8 form of UTF-16 text; unpaired surrogates become U+FFFD.
inline std::string NarrowToUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    if (n > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &out[0], n, nullptr, nullptr);
    }
    return out;
}

}  // namespace morva
