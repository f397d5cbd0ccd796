#pragma once

// Windows only: the engine's UTF-8 strings and the wide-character calls of Windows.

#include <string>
#include <string_view>

namespace zendrow {

/// The UTF-16 form of utf8; false when utf8 is not valid UTF-8, so that no other name is used.
bool wideFromUtf8(std::string_view utf8, std::wstring& wide);

/// The UTF-8 form of wide.
std::string utf8FromWide(std::wstring_view wide);

/// The system's message for a Windows error code, without its line break and closing full stop,
/// so that it reads like the other platforms' messages in "cannot open: REASON".
std::string windowsErrorText(unsigned long code);

} // namespace zendrow
