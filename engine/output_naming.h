#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/module_locator.h"

namespace zendrow {

/// Which name an output gets; the values are the window's "File names" choices.
enum class NamingRule { Original = 0, FromSourceFiles = 1 };

/// The naming rule for the window's choice index: 0 is "Original", anything else "From source files".
NamingRule namingRuleFromIndex(int index);

/// Title bytes turned into UTF-8 text, read as the kind's trackers write them: code page 437 for IT,
/// S3M and XM, ISO 8859-1 for MOD (the Amiga's character set).
std::string titleToUtf8(std::string_view titleBytes, ModuleKind kind = ModuleKind::IT);

/// The title followed by the kind's extension, or nothing when the title cannot be a plain file
/// name on every platform: empty or only spaces and dots, a path separator, a control character
/// (for MOD also 0x80 to 0x9F, the control characters of ISO 8859-1), one of < > : " | ? *, or a
/// reserved Windows device name (CON, NUL, COM0, ... before the first dot).
std::optional<std::string> nameFromTitle(std::string_view titleBytes, ModuleKind kind);

/// The source file's name with its extension (from the last dot) replaced by the kind's extension.
std::string nameFromSource(std::string_view itemName, ModuleKind kind);

/// True when the part of name before its first dot (less trailing spaces) is a reserved device name
/// of Windows: CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0 to COM9 and LPT0 to LPT9 (also with the
/// superscript digits 1 to 3), in any letter case.
bool isReservedDeviceName(std::string_view name);

/// folder and name joined with exactly one separator between them.
std::string joinPath(std::string_view folder, std::string_view name);

} // namespace zendrow
