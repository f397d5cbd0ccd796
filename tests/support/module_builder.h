#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/fixtures.h"

// Writers of small but valid tracker modules, for the tests, the fuzz seeds and the benchmarks.
// Each returns the module's bytes and nothing after them: its exact length is the string's size.
// The structures are laid out back to back (S3M's at 16-byte steps), in the order the trackers
// write them unless a layout asks for another.
namespace zendrow::test {

Bytes u16le(std::uint16_t value);
Bytes u32le(std::uint32_t value);

/// Deterministic bytes of 0x80 to 0xFF: no signature, no title character of a tracker, no
/// extension block id can appear in them by chance.
Bytes junk(std::size_t size, std::uint32_t seed = 1);

/// size bytes made of pattern repeated (zeros when pattern is empty).
Bytes repeated(std::string_view pattern, std::size_t size);

// --- Impulse Tracker -----------------------------------------------------------------------------

struct ItSample {
    enum class Encoding { Plain, Adpcm, Compressed };
    std::uint32_t length = 0; ///< in sample frames; 0 makes an empty sample (its data pointer is 0)
    bool sixteenBit = false;
    bool stereo = false;
    Encoding encoding = Encoding::Plain;
    Bytes fill{}; ///< repeated over plain and ADPCM data; compressed data is silence
};

struct ItLayout {
    std::string title{};
    int patterns = 1;      ///< each with one note, played in order
    int emptyPatterns = 0; ///< after those, stored with a pointer of 0
    int instruments = 0;   ///< each mapping every note to sample 1
    std::vector<ItSample> samples{};
    std::string message{};  ///< attached when not empty
    bool dataFirst = false; ///< sample data before the patterns, sample headers last (out of order)
};

Bytes buildIt(const ItLayout& layout);

// --- Scream Tracker 3 ----------------------------------------------------------------------------

struct S3mSample {
    std::uint32_t length = 0; ///< in sample frames; 0 makes an empty instrument
    bool sixteenBit = false;
    bool stereo = false;
    Bytes fill{};
};

struct S3mLayout {
    std::string title{};
    int channels = 4;
    int patterns = 1;      ///< each with one note
    int emptyPatterns = 0; ///< after those, stored with a parapointer of 0
    std::vector<S3mSample> samples{};
    bool panningTable = false;
    bool patternsLast = false; ///< pattern data after the sample data
    /// The packed length stored before each pattern; the real one when nothing (it is never trusted).
    std::uint16_t storedPatternLength = 0;
};

Bytes buildS3m(const S3mLayout& layout);

// --- FastTracker 2 -------------------------------------------------------------------------------

struct XmSample {
    std::uint32_t length = 0; ///< in bytes as stored, before ADPCM packing
    bool sixteenBit = false;
    bool adpcm = false; ///< ModPlug's 4-bit ADPCM (0xAD at +17 of the header)
    Bytes fill{};
};

struct XmInstrument {
    std::vector<XmSample> samples{}; ///< none: a 29-byte header only
};

struct XmLayout {
    std::string title{};
    int channels = 4;
    int patterns = 1;      ///< each with one note
    int emptyPatterns = 0; ///< after those, stored with a packed size of 0
    std::vector<XmInstrument> instruments{};
};

Bytes buildXm(const XmLayout& layout);

/// An XM extension chunk as OpenMPT writes it: id, u32 size, payload.
Bytes xmChunk(std::string_view id, std::string_view payload);

/// OpenMPT's property blocks: "XTPM", each instrument entry (4-byte code, u16 size, size bytes for
/// each of instruments), then "STPM" and each song entry (code, u16 size, payload).
struct PropertyEntry {
    std::string code{};
    Bytes value{}; ///< per instrument in "XTPM", the payload in "STPM"
};
Bytes openMptProperties(const std::vector<PropertyEntry>& instrumentEntries, int instruments,
                        const std::vector<PropertyEntry>& songEntries);

// --- ProTracker ----------------------------------------------------------------------------------

struct ModLayout {
    std::string title{};
    int channels = 4;
    std::string tag{};                             ///< the tag at 1080; by default the usual one for channels
    std::vector<std::uint8_t> orders = {0};        ///< the played orders; the rest of the 128 are 0
    std::vector<std::uint8_t> unplayedOrders{};    ///< stored after the played ones (they count for the patterns)
    std::vector<std::uint16_t> sampleWords = {64}; ///< the lengths of the first samples, in 2-byte words
    Bytes fill{};
};

Bytes buildMod(const ModLayout& layout);

// --- Containers ----------------------------------------------------------------------------------

struct Placed {
    std::size_t offset = 0;
    Bytes bytes{};
};

/// A container of size bytes: each piece at its offset (in order, not overlapping), junk around them.
Bytes containerOf(const std::vector<Placed>& pieces, std::size_t size, std::uint32_t seed = 1);

/// Candidates that fail validation (a signature with a header that is not sane), wrapped in junk;
/// a container may hold them anywhere, and none of them is a module.
std::vector<Bytes> falseSignatures();

} // namespace zendrow::test
