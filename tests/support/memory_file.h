#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "engine/file_system.h"

namespace zendrow::test {

/// A source file held in memory, or a sparse one: zeros everywhere but at the pieces placed in it,
/// so that tests can have files of many GiB. It notes reads that reach past its size, and fails
/// with an I/O error every read that reaches past failAt.
class MemoryFile : public InputFile {
public:
    struct Piece {
        std::uint64_t offset = 0;
        std::string bytes;
    };

    explicit MemoryFile(std::string bytes) : m_size(bytes.size()) { m_pieces.push_back({0, std::move(bytes)}); }
    MemoryFile(std::uint64_t size, std::vector<Piece> pieces) : m_size(size), m_pieces(std::move(pieces)) {}

    std::uint64_t failAt = UINT64_MAX;
    std::uint64_t largestRead = 0;
    std::uint64_t bytesRead = 0;
    bool readPastEnd = false;

    std::int64_t readAt(std::uint64_t offset, std::span<std::uint8_t> buffer, std::string& error) override {
        if (offset + buffer.size() > failAt) {
            error = "Input/output error";
            return -1;
        }
        largestRead = std::max<std::uint64_t>(largestRead, buffer.size());
        readPastEnd = readPastEnd || offset + buffer.size() > m_size;
        if (offset >= m_size)
            return 0;
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), m_size - offset));
        std::memset(buffer.data(), 0, n);
        for (const Piece& piece : m_pieces) {
            const std::uint64_t begin = std::max(offset, piece.offset);
            const std::uint64_t end = std::min(offset + n, piece.offset + piece.bytes.size());
            if (begin < end)
                std::memcpy(buffer.data() + (begin - offset), piece.bytes.data() + (begin - piece.offset),
                            static_cast<std::size_t>(end - begin));
        }
        bytesRead += n;
        return static_cast<std::int64_t>(n);
    }

    bool size(std::uint64_t& size, std::string&) override {
        size = m_size;
        return true;
    }

private:
    std::uint64_t m_size;
    std::vector<Piece> m_pieces;
};

} // namespace zendrow::test
