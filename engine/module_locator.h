#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zendrow {

/// How many bytes of a container's start are searched for a module.
inline constexpr std::size_t kHeadWindowSize = 255;

/// The tracker formats Zendrow extracts. The default mode finds IT and S3M only; scan mode finds all four.
enum class ModuleKind { IT, S3M, XM, MOD };

/// The output extension of a kind, lower case with its dot: ".it", ".s3m", ".xm" or ".mod".
std::string_view extensionOf(ModuleKind kind);

struct LocateResult {
    bool found = false;
    ModuleKind kind = ModuleKind::IT;
    std::uint64_t start = 0; ///< file offset of the module's first byte
};

/// Finds the first "IMPM" or "SCRM" signature in head, in file order. "SCRM" sits 44 bytes into an
/// S3M header, so one found below offset 44 cannot start a module and the search goes on.
LocateResult locateModule(std::span<const std::uint8_t> head);

/// The song title of a located module: the raw bytes from the kind's title position up to the first
/// NUL or the end of head, with no field width applied. Empty when it starts past head's end.
std::string moduleTitle(std::span<const std::uint8_t> head, const LocateResult& located);

} // namespace zendrow
