#include "engine/module_scanner.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <stdexcept>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zendrow {

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20; // module starts looked at per read
constexpr std::size_t kModTagOffset = 1080;
constexpr std::size_t kS3mTagOffset = 44;
constexpr std::size_t kLookahead = kModTagOffset + 4; // a MOD's tag ends this far after its start
constexpr std::uint64_t kProgressStep = std::uint64_t{8} << 20;

constexpr std::size_t kItHeaderSize = 0xC0;
constexpr std::size_t kItInstrumentSize = 554;
constexpr std::size_t kItSampleHeaderSize = 80;
constexpr std::size_t kS3mHeaderSize = 0x60;
constexpr std::size_t kS3mInstrumentSize = 80;
constexpr std::size_t kXmFixedHeader = 80; // up to and including the instrument count and flags
constexpr std::size_t kModHeaderSize = 1084;
constexpr char kXmSignature[] = "Extended Module: ";

std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t be16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

/// The raw title: the field up to its first NUL, trailing spaces dropped.
std::string titleOf(const std::uint8_t* field, std::size_t width) {
    const std::uint8_t* end = std::find(field, field + width, std::uint8_t{0});
    while (end != field && end[-1] == ' ')
        --end;
    return std::string(field, end);
}

enum class Read { Ok, PastEnd, Failed };
enum class Verdict { Module, NoModule, Failed };

/// The file as the checks see it: bounded by its size, served from the chunk in memory when it
/// holds the bytes asked for, else read with a small readAt.
class Source {
public:
    Source(InputFile& file, std::uint64_t size, std::string& error) : m_file(file), m_size(size), m_error(error) {}

    std::uint64_t size() const { return m_size; }

    void setWindow(const std::uint8_t* data, std::uint64_t start, std::size_t size) {
        m_window = data;
        m_windowStart = start;
        m_windowSize = size;
    }

    /// Exactly n bytes at offset, or PastEnd when they do not all lie in the file.
    Read get(std::uint64_t offset, void* out, std::size_t n) {
        if (offset > m_size || n > m_size - offset)
            return Read::PastEnd;
        if (n == 0)
            return Read::Ok;
        if (offset >= m_windowStart && offset - m_windowStart + n <= m_windowSize) {
            std::memcpy(out, m_window + (offset - m_windowStart), n);
            return Read::Ok;
        }
        return readFully(offset, static_cast<std::uint8_t*>(out), n) ? Read::Ok : Read::Failed;
    }

    bool readFully(std::uint64_t offset, std::uint8_t* out, std::size_t n) {
        while (n > 0) {
            const std::int64_t got = m_file.readAt(offset, {out, n}, m_error);
            if (got < 0)
                return false;
            if (got == 0) {
                m_error = "the file ended before its size while it was scanned";
                return false;
            }
            offset += static_cast<std::uint64_t>(got);
            out += got;
            n -= static_cast<std::size_t>(got);
        }
        return true;
    }

private:
    InputFile& m_file;
    std::uint64_t m_size;
    std::string& m_error;
    const std::uint8_t* m_window = nullptr;
    std::uint64_t m_windowStart = 0;
    std::size_t m_windowSize = 0;
};

/// Byte-by-byte reading for the walks over packed S3M rows, through a small buffer.
class ByteReader {
public:
    explicit ByteReader(Source& source) : m_source(source) {}

    /// The byte at offset, PastEnd beyond the file, or Failed.
    Read at(std::uint64_t offset, std::uint8_t& byte) {
        if (offset < m_start || offset - m_start >= m_filled) {
            if (offset >= m_source.size())
                return Read::PastEnd;
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(m_buffer.size(), m_source.size() - offset));
            if (m_source.get(offset, m_buffer.data(), n) != Read::Ok)
                return Read::Failed;
            m_start = offset;
            m_filled = n;
        }
        byte = m_buffer[offset - m_start];
        return Read::Ok;
    }

private:
    Source& m_source;
    std::array<std::uint8_t, 4096> m_buffer{};
    std::uint64_t m_start = 0;
    std::size_t m_filled = 0;
};

/// What a check learns of one candidate: where its structures end (file offsets, possibly past the
/// file's end) and whether the ends it knows are only lower bounds.
struct Extent {
    std::uint64_t end = 0;
    void cover(std::uint64_t structureEnd) { end = std::max(end, structureEnd); }
};

#define ZENDROW_READ(expression)                                                                                       \
    do {                                                                                                               \
        const Read read_ = (expression);                                                                               \
        if (read_ == Read::PastEnd)                                                                                    \
            return Verdict::NoModule;                                                                                  \
        if (read_ == Read::Failed)                                                                                     \
            return Verdict::Failed;                                                                                    \
    } while (false)

bool isPrintableCode(const std::uint8_t* code) {
    return std::all_of(code, code + 4, [](std::uint8_t c) { return c >= 0x20 && c < 0x7F; });
}

/// Moves pos past OpenMPT's instrument and song properties ("XTPM" ... "STPM" ...) at pos, entry by
/// whole entry; leaves it where it is when there are none. False when a read failed.
bool openMptProperties(Source& source, std::uint64_t& pos, std::uint64_t instruments) {
    std::uint8_t entry[6];
    Read read = source.get(pos, entry, 4);
    if (read == Read::Failed)
        return false;
    if (read != Read::Ok)
        return true;
    std::uint64_t at = pos;
    if (std::memcmp(entry, "XTPM", 4) == 0) {
        at += 4;
        pos = at;
        for (;;) {
            read = source.get(at, entry, 4);
            if (read == Read::Failed)
                return false;
            if (read != Read::Ok || std::memcmp(entry, "STPM", 4) == 0 || !isPrintableCode(entry))
                break;
            read = source.get(at, entry, 6);
            if (read == Read::Failed)
                return false;
            const std::uint64_t next = at + 6 + std::uint64_t{le16(entry + 4)} * instruments;
            if (read != Read::Ok || next > source.size())
                break;
            at = pos = next;
        }
    }
    read = source.get(at, entry, 4);
    if (read == Read::Failed)
        return false;
    if (read != Read::Ok || std::memcmp(entry, "STPM", 4) != 0)
        return true;
    at += 4;
    pos = at;
    for (;;) {
        read = source.get(at, entry, 6);
        if (read == Read::Failed)
            return false;
        if (read != Read::Ok || !isPrintableCode(entry) || std::memcmp(entry, "IMPM", 4) == 0 ||
            std::memcmp(entry, "Exte", 4) == 0)
            break;
        const std::uint64_t next = at + 6 + le16(entry + 4);
        if (next > source.size())
            break;
        at = pos = next;
    }
    return true;
}

bool isXmChunkId(const std::uint8_t* id) {
    for (const char* known : {"text", "MIDI", "PNAM", "CNAM", "CHFX"})
        if (std::memcmp(id, known, 4) == 0)
            return true;
    return id[0] == 'F' && id[1] == 'X' && id[2] >= '0' && id[2] <= '9' && id[3] >= '0' && id[3] <= '9';
}

/// Sets found's length and missing from the extent; the title and kind are set by the checks.
void finish(FoundModule& found, const Extent& extent, std::uint64_t fileSize) {
    const std::uint64_t present = std::min(extent.end, fileSize);
    found.length = present - found.offset;
    found.missing = extent.end - present;
}

Verdict checkIt(Source& source, std::uint64_t start, FoundModule& found) {
    std::uint8_t header[kItHeaderSize];
    ZENDROW_READ(source.get(start, header, sizeof header));
    const std::uint32_t orders = le16(header + 0x20);
    const std::uint32_t instruments = le16(header + 0x22);
    const std::uint32_t samples = le16(header + 0x24);
    const std::uint32_t patterns = le16(header + 0x26);
    if (instruments > 255 || samples >= 4000 || patterns > 256)
        return Verdict::NoModule;

    const std::uint64_t fileSize = source.size();
    // Pointers are relative to the module; one that is followed must land past the header, in the file.
    auto lands = [&](std::uint32_t pointer) { return pointer >= kItHeaderSize && start + pointer < fileSize; };

    Extent extent;
    const std::uint64_t tablesAt = start + kItHeaderSize + orders;
    std::vector<std::uint8_t> pointers(4 * std::size_t{instruments + samples + patterns});
    ZENDROW_READ(source.get(tablesAt, pointers.data(), pointers.size()));
    extent.cover(tablesAt + pointers.size());

    const std::uint16_t messageLength = le16(header + 0x36);
    if ((le16(header + 0x2E) & 1) != 0 && messageLength != 0) {
        const std::uint32_t message = le32(header + 0x38);
        if (!lands(message))
            return Verdict::NoModule;
        extent.cover(start + message + messageLength);
    }

    const std::uint8_t* pointer = pointers.data();
    for (std::uint32_t i = 0; i < instruments; ++i, pointer += 4) {
        const std::uint32_t at = le32(pointer);
        if (!lands(at) || start + at + kItInstrumentSize > fileSize)
            return Verdict::NoModule;
        extent.cover(start + at + kItInstrumentSize);
    }

    for (std::uint32_t i = 0; i < samples; ++i, pointer += 4) {
        const std::uint32_t at = le32(pointer);
        if (!lands(at))
            return Verdict::NoModule;
        std::uint8_t sample[kItSampleHeaderSize];
        ZENDROW_READ(source.get(start + at, sample, sizeof sample));
        extent.cover(start + at + kItSampleHeaderSize);
        const std::uint8_t flags = sample[0x12];
        const std::uint64_t length = le32(sample + 0x30);
        if ((flags & 1) == 0 || length == 0)
            continue;
        const std::uint32_t data = le32(sample + 0x48);
        if (!lands(data))
            return Verdict::NoModule;
        const bool sixteenBit = (flags & 2) != 0;
        const std::uint64_t channels = (flags & 4) != 0 ? 2 : 1;
        if ((flags & 8) != 0) {
            // IT 2.14 compression: per channel, blocks of a u16 byte count and that many bytes.
            const std::uint64_t perBlock = sixteenBit ? 0x4000 : 0x8000;
            const std::uint64_t blocksPerChannel = (length + perBlock - 1) / perBlock;
            std::uint64_t pos = start + data;
            for (std::uint64_t block = 0; block < blocksPerChannel * channels; ++block) {
                std::uint8_t count[2];
                const Read read = source.get(pos, count, 2);
                if (read == Read::Failed)
                    return Verdict::Failed;
                if (read == Read::PastEnd) {
                    // Cut: each block still to come has at least its byte count.
                    pos += 2 * (blocksPerChannel * channels - block);
                    break;
                }
                pos += 2 + std::uint64_t{le16(count)};
            }
            extent.cover(pos);
        } else if (sample[0x2E] == 0xFF && !sixteenBit) {
            extent.cover(start + data + 16 + (length + 1) / 2); // ADPCM: a 16-byte table, then 4 bits a sample
        } else {
            extent.cover(start + data + length * (sixteenBit ? 2 : 1) * channels);
        }
    }

    for (std::uint32_t i = 0; i < patterns; ++i, pointer += 4) {
        const std::uint32_t at = le32(pointer);
        if (at == 0)
            continue; // an empty pattern
        if (!lands(at))
            return Verdict::NoModule;
        std::uint8_t packedLength[2];
        const Read read = source.get(start + at, packedLength, 2);
        if (read == Read::Failed)
            return Verdict::Failed;
        extent.cover(start + at + 8 + (read == Read::Ok ? le16(packedLength) : 0));
    }

    if (extent.end <= fileSize) {
        std::uint64_t end = extent.end;
        if (!openMptProperties(source, end, instruments))
            return Verdict::Failed;
        extent.cover(end);
    }
    found.kind = ModuleKind::IT;
    found.offset = start;
    found.title = titleOf(header + 4, 26);
    finish(found, extent, fileSize);
    return Verdict::Module;
}

Verdict checkS3m(Source& source, std::uint64_t start, FoundModule& found) {
    std::uint8_t header[kS3mHeaderSize];
    ZENDROW_READ(source.get(start, header, sizeof header));
    if (header[0x1C] != 0x1A || header[0x1D] != 16)
        return Verdict::NoModule;
    const std::uint32_t orders = le16(header + 0x20);
    const std::uint32_t instruments = le16(header + 0x22);
    const std::uint32_t patterns = le16(header + 0x24);
    if (orders > 256 || instruments > 256 || patterns > 256)
        return Verdict::NoModule;

    const std::uint64_t fileSize = source.size();
    auto lands = [&](std::uint64_t offset) { return offset >= kS3mHeaderSize && start + offset < fileSize; };

    Extent extent;
    const std::uint64_t tablesAt = start + kS3mHeaderSize + orders;
    std::vector<std::uint8_t> pointers(2 * std::size_t{instruments + patterns});
    ZENDROW_READ(source.get(tablesAt, pointers.data(), pointers.size()));
    const std::uint64_t panning = header[0x35] == 0xFC ? 32 : 0;
    if (tablesAt + pointers.size() + panning > fileSize)
        return Verdict::NoModule;
    extent.cover(tablesAt + pointers.size() + panning);

    const std::uint8_t* pointer = pointers.data();
    for (std::uint32_t i = 0; i < instruments; ++i, pointer += 2) {
        const std::uint64_t at = std::uint64_t{le16(pointer)} * 16;
        if (at == 0)
            continue;
        if (!lands(at))
            return Verdict::NoModule;
        std::uint8_t instrument[kS3mInstrumentSize];
        ZENDROW_READ(source.get(start + at, instrument, sizeof instrument));
        extent.cover(start + at + kS3mInstrumentSize);
        const std::uint64_t length = le32(instrument + 0x10);
        if (instrument[0] != 1 || length == 0)
            continue; // no PCM data: an empty slot or an AdLib instrument
        const std::uint64_t data = ((std::uint64_t{instrument[0x0D]} << 16) | le16(instrument + 0x0E)) * 16;
        if (!lands(data))
            return Verdict::NoModule;
        const std::uint8_t flags = instrument[0x1F];
        extent.cover(start + data + length * ((flags & 2) != 0 ? 2 : 1) * ((flags & 4) != 0 ? 2 : 1));
    }

    ByteReader bytes(source);
    for (std::uint32_t i = 0; i < patterns; ++i, pointer += 2) {
        const std::uint64_t at = std::uint64_t{le16(pointer)} * 16;
        if (at == 0)
            continue; // an empty pattern
        if (!lands(at))
            return Verdict::NoModule;
        // The stored length is not trusted: the 64 packed rows after it are walked.
        std::uint64_t pos = start + at + 2;
        int rows = 0;
        while (rows < 64) {
            std::uint8_t what = 0;
            const Read read = bytes.at(pos, what);
            if (read == Read::Failed)
                return Verdict::Failed;
            if (read == Read::PastEnd) {
                pos += 64 - rows; // cut: each row still to come has at least its end byte
                break;
            }
            ++pos;
            if (what == 0) {
                ++rows;
                continue;
            }
            pos += ((what & 32) != 0 ? 2 : 0) + ((what & 64) != 0 ? 1 : 0) + ((what & 128) != 0 ? 2 : 0);
        }
        extent.cover(pos);
    }

    found.kind = ModuleKind::S3M;
    found.offset = start;
    found.title = titleOf(header, 28);
    finish(found, extent, fileSize);
    return Verdict::Module;
}

Verdict checkXm(Source& source, std::uint64_t start, FoundModule& found) {
    std::uint8_t header[kXmFixedHeader];
    ZENDROW_READ(source.get(start, header, sizeof header));
    if (std::memcmp(header, kXmSignature, 17) != 0 || header[37] != 0x1A || le16(header + 58) != 0x0104)
        return Verdict::NoModule;
    const std::uint64_t headerSize = le32(header + 60);
    const std::uint32_t channels = le16(header + 68);
    const std::uint32_t patterns = le16(header + 70);
    const std::uint32_t instruments = le16(header + 72);
    if (headerSize < 20 || channels < 1 || channels > 64 || patterns > 256 || instruments > 256)
        return Verdict::NoModule;

    const std::uint64_t fileSize = source.size();
    std::uint64_t pos = start + 60 + headerSize;
    if (pos > fileSize)
        return Verdict::NoModule;

    for (std::uint32_t i = 0; i < patterns; ++i) {
        std::uint8_t pattern[9];
        ZENDROW_READ(source.get(pos, pattern, sizeof pattern));
        const std::uint64_t headerLength = le32(pattern);
        const std::uint64_t packedSize = le16(pattern + 7);
        if (headerLength < sizeof pattern || pos + headerLength > fileSize)
            return Verdict::NoModule;
        if (packedSize != 0 && pos + headerLength >= fileSize)
            return Verdict::NoModule;
        pos += headerLength + packedSize;
    }

    for (std::uint32_t i = 0; i < instruments; ++i) {
        std::uint8_t instrument[33];
        ZENDROW_READ(source.get(pos, instrument, 29));
        const std::uint64_t headerSize = le32(instrument);
        const std::uint32_t samples = le16(instrument + 27);
        if (pos + std::max<std::uint64_t>(headerSize, 29) > fileSize)
            return Verdict::NoModule;
        if (samples == 0) {
            pos += headerSize;
            continue;
        }
        if (samples > 256 || headerSize < 33)
            return Verdict::NoModule;
        ZENDROW_READ(source.get(pos + 29, instrument + 29, 4));
        const std::uint64_t sampleHeaderSize = le32(instrument + 29);
        if (sampleHeaderSize < 18)
            return Verdict::NoModule;
        std::uint64_t sampleHeader = pos + headerSize;
        const std::uint64_t dataAt = sampleHeader + samples * sampleHeaderSize;
        if (dataAt > fileSize)
            return Verdict::NoModule;
        std::uint64_t data = 0;
        for (std::uint32_t s = 0; s < samples; ++s, sampleHeader += sampleHeaderSize) {
            std::uint8_t sample[18];
            ZENDROW_READ(source.get(sampleHeader, sample, sizeof sample));
            const std::uint64_t length = le32(sample);
            data += sample[17] == 0xAD ? 16 + (length + 1) / 2 : length; // 0xAD: 4-bit ADPCM
        }
        if (data != 0 && dataAt >= fileSize)
            return Verdict::NoModule;
        pos = dataAt + data;
    }

    Extent extent;
    extent.cover(pos);
    if (pos <= fileSize) {
        std::uint8_t chunk[8];
        for (;;) {
            const Read read = source.get(pos, chunk, sizeof chunk);
            if (read == Read::Failed)
                return Verdict::Failed;
            if (read != Read::Ok || !isXmChunkId(chunk) || pos + 8 + le32(chunk + 4) > fileSize)
                break;
            pos += 8 + std::uint64_t{le32(chunk + 4)};
        }
        if (!openMptProperties(source, pos, instruments))
            return Verdict::Failed;
        extent.cover(pos);
    }
    found.kind = ModuleKind::XM;
    found.offset = start;
    found.title = titleOf(header + 17, 20);
    finish(found, extent, fileSize);
    return Verdict::Module;
}

Verdict checkMod(Source& source, std::uint64_t start, unsigned channels, FoundModule& found) {
    std::uint8_t header[kModHeaderSize];
    ZENDROW_READ(source.get(start, header, sizeof header));
    std::uint64_t sampleBytes = 0;
    for (int i = 0; i < 31; ++i) {
        const std::uint8_t* sample = header + 20 + 30 * i;
        if (sample[24] > 15 || sample[25] > 64)
            return Verdict::NoModule;
        sampleBytes += std::uint64_t{be16(sample + 22)} * 2;
    }
    const std::uint8_t songLength = header[950];
    if (songLength < 1 || songLength > 128)
        return Verdict::NoModule;
    std::uint8_t highest = 0;
    for (int i = 0; i < 128; ++i) {
        const std::uint8_t order = header[952 + i];
        if (order >= 128)
            return Verdict::NoModule;
        highest = std::max(highest, order);
    }
    Extent extent;
    extent.cover(start + kModHeaderSize + (std::uint64_t{highest} + 1) * 64 * channels * 4 + sampleBytes);
    found.kind = ModuleKind::MOD;
    found.offset = start;
    found.title = titleOf(header, 20);
    finish(found, extent, source.size());
    return Verdict::Module;
}

// --- Finding candidates --------------------------------------------------------------------------

enum class Tag : std::uint8_t { None, It, S3m, Xm, Mod };

// The third and fourth bytes of every signature (of "Exte" for XM); the table checks each tag's
// bytes are here, as the fast search skips positions whose bytes are not.
constexpr char kThirdBytes[] = {'P', 'R', 't', 'K', 'T', 'H', '8', 'C', 'Z'};
constexpr char kFourthBytes[] = {'M', 'e', '.', '!', '4', 'N', '1', 'A', 'H', '2', '3'};

struct TagEntry {
    std::uint32_t key = 0; ///< the four bytes as a little-endian number; 0 for an empty slot
    Tag tag = Tag::None;
    std::uint8_t channels = 0;
};

std::uint32_t key(const char* text) {
    return le32(reinterpret_cast<const std::uint8_t*>(text));
}

std::size_t slotOf(std::uint32_t key) {
    return (key * 0x9E3779B1u) >> 24;
}

/// Every signature as a 4-byte key, in an open-addressed table, and a bit for each pair of the
/// signatures' last two bytes: a position whose pair has no bit cannot start a signature.
class TagTable {
public:
    TagTable() {
        add("IMPM", Tag::It, 0);
        add("SCRM", Tag::S3m, 0);
        add(kXmSignature, Tag::Xm, 0);
        for (const char* tag : {"M.K.", "M!K!", "M&K!", "FLT4"})
            add(tag, Tag::Mod, 4);
        for (const char* tag : {"CD81", "OKTA", "OCTA"})
            add(tag, Tag::Mod, 8);
        for (int channels = 1; channels <= 9; ++channels) {
            const char tag[5] = {static_cast<char>('0' + channels), 'C', 'H', 'N', 0};
            add(tag, Tag::Mod, channels);
        }
        for (int channels = 10; channels <= 32; ++channels) {
            const char tag[5] = {static_cast<char>('0' + channels / 10), static_cast<char>('0' + channels % 10), 'C',
                                 'H', 0};
            add(tag, Tag::Mod, channels);
        }
        for (int channels = 1; channels <= 3; ++channels) {
            const char tag[5] = {'T', 'D', 'Z', static_cast<char>('0' + channels), 0};
            add(tag, Tag::Mod, channels);
        }
    }

    const TagEntry* find(std::uint32_t key) const {
        for (std::size_t slot = slotOf(key);; slot = (slot + 1) % m_slots.size()) {
            if (m_slots[slot].key == key)
                return &m_slots[slot];
            if (m_slots[slot].key == 0)
                return nullptr;
        }
    }

    bool pairMayEnd(std::uint16_t lastTwo) const { return (m_pairs[lastTwo >> 6] >> (lastTwo & 63)) & 1; }

private:
    void add(const char* text, Tag tag, int channels) {
        const std::uint32_t k = key(text);
        std::size_t slot = slotOf(k);
        while (m_slots[slot].key != 0)
            slot = (slot + 1) % m_slots.size();
        m_slots[slot] = {k, tag, static_cast<std::uint8_t>(channels)};
        const std::uint16_t lastTwo = static_cast<std::uint16_t>(k >> 16);
        auto holds = [](const auto& set, char c) {
            return std::find(std::begin(set), std::end(set), c) != std::end(set);
        };
        if (!holds(kThirdBytes, text[2]) || !holds(kFourthBytes, text[3]))
            throw std::logic_error("a signature's bytes are missing from the fast search");
        m_pairs[lastTwo >> 6] |= std::uint64_t{1} << (lastTwo & 63);
    }

    std::array<TagEntry, 256> m_slots{};
    std::array<std::uint64_t, 1024> m_pairs{};
};

const TagTable& tagTable() {
    static const TagTable table;
    return table;
}

/// A candidate: where its module would start, relative to the chunk, and what it would be.
struct Candidate {
    std::uint32_t start = 0;
    Tag tag = Tag::None;
    std::uint8_t channels = 0;
};

/// Adds a candidate for every signature at positions [0, end - 3) of data whose module would start
/// in [0, starts) relative to data, data being at file offset base.
void findCandidates(const std::uint8_t* data, std::size_t end, std::uint64_t base, std::size_t starts,
                    std::vector<Candidate>& out) {
    const TagTable& table = tagTable();
    if (end < 4)
        return;
    const std::size_t last = end - 4; // the last position where a signature fits
    auto consider = [&](std::size_t pos) {
        const TagEntry* entry = table.find(le32(data + pos));
        if (entry == nullptr)
            return;
        std::uint64_t back = 0;
        if (entry->tag == Tag::S3m)
            back = kS3mTagOffset;
        else if (entry->tag == Tag::Mod)
            back = kModTagOffset;
        if (base + pos < back)
            return; // the module would start before the file
        const std::uint64_t start = base + pos - back;
        if (start < base || start - base >= starts)
            return; // another chunk's candidate
        out.push_back({static_cast<std::uint32_t>(start - base), entry->tag, entry->channels});
    };
    std::size_t pos = 0;
#if defined(__SSE2__)
    // The hot loop, 16 positions at a time: a position can start a signature only when its third
    // byte is one of the signatures' third bytes and its fourth one of their fourth bytes. Random
    // bytes pass about once in 600 positions; the table then decides.
    auto anyOf = [](__m128i bytes, const auto& set) {
        __m128i hit = _mm_setzero_si128();
        for (const char c : set)
            hit = _mm_or_si128(hit, _mm_cmpeq_epi8(bytes, _mm_set1_epi8(c)));
        return hit;
    };
    for (; pos + 19 <= end; pos += 16) {
        const __m128i third = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + pos + 2));
        const __m128i fourth = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + pos + 3));
        auto hits = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(anyOf(third, kThirdBytes), anyOf(fourth, kFourthBytes))));
        while (hits != 0) {
            consider(pos + static_cast<std::size_t>(std::countr_zero(hits)));
            hits &= hits - 1;
        }
    }
#endif
    // One table bit for the pair that would end a signature, eight positions at a time.
    for (; pos + 8 <= last + 1; pos += 8) {
        std::uint64_t word; // bytes pos + 2 to pos + 9, the first in the low bits
        std::memcpy(&word, data + pos + 2, 8);
        static_assert(std::endian::native == std::endian::little);
        std::uint8_t hits = 0;
        for (int i = 0; i < 7; ++i)
            hits |= static_cast<std::uint8_t>(table.pairMayEnd(static_cast<std::uint16_t>(word >> (8 * i))) << i);
        hits |= static_cast<std::uint8_t>(table.pairMayEnd(le16(data + pos + 9)) << 7);
        while (hits != 0) {
            const int bit = std::countr_zero(hits);
            consider(pos + bit);
            hits &= static_cast<std::uint8_t>(hits - 1);
        }
    }
    for (; pos <= last; ++pos)
        if (table.pairMayEnd(le16(data + pos + 2)))
            consider(pos);
}

} // namespace

bool ModuleScanner::scan(InputFile& file, std::uint64_t fileSize,
                         const std::function<bool(const FoundModule&)>& onModule,
                         const std::function<bool(std::uint64_t scanned)>& onProgress, std::string& error) {
    Source source(file, fileSize, error);
    // A small file needs no more than its own size.
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(kChunk + kLookahead, fileSize)));
    std::vector<Candidate> candidates;
    std::uint64_t chunkStart = 0;
    std::uint64_t resumeAt = 0; // the end of the last accepted module: nothing starts before it
    std::uint64_t nextProgress = kProgressStep;
    FoundModule found;

    while (chunkStart < fileSize) {
        const std::size_t starts = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, fileSize - chunkStart));
        const std::size_t filled =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), fileSize - chunkStart));
        source.setWindow(nullptr, 0, 0);
        if (!source.readFully(chunkStart, buffer.data(), filled))
            return false;
        source.setWindow(buffer.data(), chunkStart, filled);

        candidates.clear();
        findCandidates(buffer.data(), filled, chunkStart, starts, candidates);
        // IT and XM start at their signature, S3M and MOD before it: order by start, then by kind.
        std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
            return a.start != b.start ? a.start < b.start : a.tag < b.tag;
        });

        for (const Candidate& candidate : candidates) {
            const std::uint64_t start = chunkStart + candidate.start;
            if (start < resumeAt)
                continue; // inside an accepted module: a sample can hold any bytes
            Verdict verdict = Verdict::NoModule;
            switch (candidate.tag) {
            case Tag::It:
                verdict = checkIt(source, start, found);
                break;
            case Tag::S3m:
                verdict = checkS3m(source, start, found);
                break;
            case Tag::Xm:
                verdict = checkXm(source, start, found);
                break;
            case Tag::Mod:
                verdict = checkMod(source, start, candidate.channels, found);
                break;
            case Tag::None:
                break;
            }
            if (verdict == Verdict::Failed)
                return false;
            if (verdict != Verdict::Module)
                continue;
            resumeAt = found.offset + found.length;
            if (!onModule(found))
                return true;
        }

        chunkStart = std::max(chunkStart + starts, resumeAt);
        if (chunkStart >= nextProgress && chunkStart < fileSize) {
            if (!onProgress(chunkStart))
                return true;
            nextProgress = chunkStart + kProgressStep;
        }
    }
    onProgress(fileSize);
    return true;
}

} // namespace zendrow
