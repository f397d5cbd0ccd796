#include "engine/chunked_copy.h"

#include <algorithm>
#include <vector>

namespace zendrow {

bool copyInChunks(InputFile& from, std::uint64_t offset, std::uint64_t length, const WriteAll& write,
                  std::string& error) {
    constexpr std::size_t kChunk = 1 << 20;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, length)));
    while (length > 0) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), length));
        const std::int64_t got = from.readAt(offset, std::span(buffer.data(), want), error);
        if (got < 0)
            return false;
        if (got == 0) {
            error = kSourceEndedEarly;
            return false;
        }
        if (!write(std::span(buffer.data(), static_cast<std::size_t>(got)), error))
            return false;
        offset += static_cast<std::uint64_t>(got);
        length -= static_cast<std::uint64_t>(got);
    }
    return true;
}

} // namespace zendrow
