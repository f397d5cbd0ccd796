#include "engine/windows_text.h"

#include <climits>

#include <windows.h>

namespace zendrow {

bool wideFromUtf8(std::string_view utf8, std::wstring& wide) {
    wide.clear();
    if (utf8.empty())
        return true;
    if (utf8.size() > INT_MAX)
        return false;
    const int size = static_cast<int>(utf8.size());
    const int needed = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (needed <= 0)
        return false;
    wide.resize(static_cast<std::size_t>(needed));
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), needed) == needed;
}

std::string utf8FromWide(std::wstring_view wide) {
    if (wide.empty() || wide.size() > INT_MAX / 4)
        return {};
    const int size = static_cast<int>(wide.size());
    const int needed = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return {};
    std::string utf8(static_cast<std::size_t>(needed), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), needed, nullptr, nullptr);
    return utf8;
}

std::string windowsErrorText(unsigned long code) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", length);
    if (buffer)
        ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    if (!text.empty() && text.back() == L'.')
        text.pop_back();
    if (text.empty())
        return "Windows error " + std::to_string(code);
    return utf8FromWide(text);
}

} // namespace zendrow
