#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "engine/file_system.h"

namespace zendrow {

/// Said of a source that ends before the length measured when its module was found.
inline constexpr const char* kSourceEndedEarly = "the source file ended early (it changed during the copy)";

/// Writes all of bytes, or fails with error set.
using WriteAll = std::function<bool(std::span<const std::uint8_t> bytes, std::string& error)>;

/// Copies length bytes of from, starting at offset, through write in fixed-size chunks, so memory
/// stays flat whatever the module's size. A source that ends early fails.
bool copyInChunks(InputFile& from, std::uint64_t offset, std::uint64_t length, const WriteAll& write,
                  std::string& error);

} // namespace zendrow
