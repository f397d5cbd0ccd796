#include "tests/support/module_builder.h"

#include <algorithm>
#include <stdexcept>

namespace zendrow::test {

namespace {

void put8(Bytes& out, std::size_t at, unsigned value) {
    out.at(at) = static_cast<char>(value & 0xFF);
}
void put16(Bytes& out, std::size_t at, unsigned value) {
    put8(out, at, value);
    put8(out, at + 1, value >> 8);
}
void put32(Bytes& out, std::size_t at, std::uint32_t value) {
    put16(out, at, value & 0xFFFF);
    put16(out, at + 2, value >> 16);
}
void putBe16(Bytes& out, std::size_t at, unsigned value) {
    put8(out, at, value >> 8);
    put8(out, at + 1, value);
}
/// text in a field of width bytes, padded with NULs; a longer text is cut.
void putText(Bytes& out, std::size_t at, std::string_view text, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i)
        out.at(at + i) = i < text.size() ? text[i] : '\0';
}

void alignTo16(Bytes& out) {
    out.resize((out.size() + 15) / 16 * 16, '\0');
}

} // namespace

Bytes u16le(std::uint16_t value) {
    Bytes out(2, '\0');
    put16(out, 0, value);
    return out;
}

Bytes u32le(std::uint32_t value) {
    Bytes out(4, '\0');
    put32(out, 0, value);
    return out;
}

Bytes junk(std::size_t size, std::uint32_t seed) {
    Bytes out(size, '\0');
    std::uint32_t state = seed * 2654435761u + 12345u;
    for (char& c : out) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(0x80 | (state >> 24));
    }
    return out;
}

Bytes repeated(std::string_view pattern, std::size_t size) {
    Bytes out(size, '\0');
    if (!pattern.empty())
        for (std::size_t i = 0; i < size; ++i)
            out[i] = pattern[i % pattern.size()];
    return out;
}

// --- Impulse Tracker -----------------------------------------------------------------------------

namespace {

Bytes itSampleData(const ItSample& sample) {
    const std::size_t frames = sample.length;
    const std::size_t channels = sample.stereo ? 2 : 1;
    switch (sample.encoding) {
    case ItSample::Encoding::Adpcm:
        return repeated(sample.fill, 16 + (frames + 1) / 2);
    case ItSample::Encoding::Compressed: {
        // Blocks of silence: every sample a zero delta at the starting bit width (9, or 17 for 16-bit).
        const std::size_t perBlock = sample.sixteenBit ? 0x4000 : 0x8000;
        const std::size_t width = sample.sixteenBit ? 17 : 9;
        Bytes out;
        for (std::size_t channel = 0; channel < channels; ++channel)
            for (std::size_t done = 0; done < frames; done += perBlock) {
                const std::size_t count = std::min(perBlock, frames - done);
                const std::size_t bytes = (count * width + 7) / 8;
                out += u16le(static_cast<std::uint16_t>(bytes)) + Bytes(bytes, '\0');
            }
        return out;
    }
    case ItSample::Encoding::Plain:
        break;
    }
    return repeated(sample.fill, frames * channels * (sample.sixteenBit ? 2 : 1));
}

Bytes itPattern() {
    // Row 0: channel 1 plays C-5 with instrument 1; 63 empty rows.
    Bytes rows = Bytes("\x81\x03\x3c\x01", 4) + Bytes(64, '\0');
    return u16le(static_cast<std::uint16_t>(rows.size())) + u16le(64) + Bytes(4, '\0') + rows;
}

Bytes itSampleHeader(const ItSample& sample, std::size_t index) {
    Bytes out(80, '\0');
    out.replace(0, 4, "IMPS");
    unsigned flags = sample.length != 0 ? 1 : 0;
    if (sample.sixteenBit)
        flags |= 2;
    if (sample.stereo)
        flags |= 4;
    if (sample.encoding == ItSample::Encoding::Compressed)
        flags |= 8;
    put8(out, 0x11, 64);
    put8(out, 0x12, flags);
    put8(out, 0x13, 64);
    putText(out, 0x14, "Sample " + std::to_string(index + 1), 26);
    put8(out, 0x2E, sample.encoding == ItSample::Encoding::Adpcm ? 0xFF : 1);
    put8(out, 0x2F, 32);
    put32(out, 0x30, sample.length);
    put32(out, 0x3C, 8363);
    return out;
}

Bytes itInstrument(std::size_t index, bool hasSamples) {
    Bytes out(554, '\0');
    out.replace(0, 4, "IMPI");
    put8(out, 0x15, 60);  // pitch-pan centre
    put8(out, 0x18, 128); // global volume
    put8(out, 0x19, 32 | 128);
    put16(out, 0x1C, 0x0214);
    put8(out, 0x1E, hasSamples ? 1 : 0);
    putText(out, 0x20, "Instrument " + std::to_string(index + 1), 26);
    for (int note = 0; note < 120; ++note) {
        put8(out, 0x40 + 2 * note, note);
        put8(out, 0x41 + 2 * note, hasSamples ? 1 : 0);
    }
    return out;
}

} // namespace

Bytes buildIt(const ItLayout& layout) {
    const std::size_t patternCount = static_cast<std::size_t>(layout.patterns + layout.emptyPatterns);
    Bytes orders;
    for (std::size_t i = 0; i < patternCount; ++i)
        orders += static_cast<char>(i);
    orders += '\xff';

    Bytes out(0xC0, '\0');
    out.replace(0, 4, "IMPM");
    putText(out, 4, layout.title, 26);
    put16(out, 0x1E, 0x1004);
    put16(out, 0x20, static_cast<unsigned>(orders.size()));
    put16(out, 0x22, static_cast<unsigned>(layout.instruments));
    put16(out, 0x24, static_cast<unsigned>(layout.samples.size()));
    put16(out, 0x26, static_cast<unsigned>(patternCount));
    put16(out, 0x28, 0x0214);
    put16(out, 0x2A, 0x0214);
    put16(out, 0x2C, 1 | 8 | (layout.instruments > 0 ? 4 : 0)); // stereo, linear slides, instruments
    put16(out, 0x2E, layout.message.empty() ? 0 : 1);
    put8(out, 0x30, 128);
    put8(out, 0x31, 48);
    put8(out, 0x32, 6);
    put8(out, 0x33, 125);
    put8(out, 0x34, 128);
    for (int channel = 0; channel < 64; ++channel) {
        put8(out, 0x40 + channel, 32);
        put8(out, 0x80 + channel, 64);
    }
    out += orders;
    const std::size_t tables = out.size();
    out += Bytes(4 * (layout.instruments + layout.samples.size() + patternCount), '\0');
    const std::size_t instrumentPointers = tables;
    const std::size_t samplePointers = instrumentPointers + 4 * layout.instruments;
    const std::size_t patternPointers = samplePointers + 4 * layout.samples.size();

    if (!layout.message.empty()) {
        put16(out, 0x36, static_cast<unsigned>(layout.message.size()));
        put32(out, 0x38, static_cast<std::uint32_t>(out.size()));
        out += layout.message;
    }
    for (int i = 0; i < layout.instruments; ++i) {
        put32(out, instrumentPointers + 4 * i, static_cast<std::uint32_t>(out.size()));
        out += itInstrument(static_cast<std::size_t>(i), !layout.samples.empty());
    }

    auto writeSampleHeaders = [&](std::vector<std::size_t>& headerAt) {
        for (std::size_t i = 0; i < layout.samples.size(); ++i) {
            put32(out, samplePointers + 4 * i, static_cast<std::uint32_t>(out.size()));
            headerAt.push_back(out.size());
            out += itSampleHeader(layout.samples[i], i);
        }
    };
    auto writePatterns = [&] {
        for (int i = 0; i < layout.patterns; ++i) {
            put32(out, patternPointers + 4 * i, static_cast<std::uint32_t>(out.size()));
            out += itPattern();
        }
    };
    std::vector<std::size_t> dataAt;
    auto writeSampleData = [&] {
        for (const ItSample& sample : layout.samples) {
            dataAt.push_back(sample.length != 0 ? out.size() : 0);
            out += sample.length != 0 ? itSampleData(sample) : Bytes();
        }
    };
    std::vector<std::size_t> headerAt;
    if (layout.dataFirst) {
        writeSampleData();
        writePatterns();
        writeSampleHeaders(headerAt);
    } else {
        writeSampleHeaders(headerAt);
        writePatterns();
        writeSampleData();
    }
    for (std::size_t i = 0; i < layout.samples.size(); ++i)
        put32(out, headerAt[i] + 0x48, static_cast<std::uint32_t>(dataAt[i]));
    return out;
}

// --- Scream Tracker 3 ----------------------------------------------------------------------------

namespace {

Bytes s3mPattern(std::uint16_t storedLength) {
    // Row 0: channel 1 plays C-4 with instrument 1; 63 empty rows.
    const Bytes rows = Bytes("\x20\x40\x01\x00", 4) + Bytes(63, '\0');
    return u16le(storedLength != 0 ? storedLength : static_cast<std::uint16_t>(rows.size() + 2)) + rows;
}

} // namespace

Bytes buildS3m(const S3mLayout& layout) {
    const std::size_t patternCount = static_cast<std::size_t>(layout.patterns + layout.emptyPatterns);
    Bytes orders;
    for (std::size_t i = 0; i < patternCount; ++i)
        orders += static_cast<char>(i);
    orders += '\xff';
    if (orders.size() % 2 != 0)
        orders += '\xff';

    Bytes out(0x60, '\0');
    putText(out, 0, layout.title, 28);
    put8(out, 0x1C, 0x1A);
    put8(out, 0x1D, 16);
    put16(out, 0x20, static_cast<unsigned>(orders.size()));
    put16(out, 0x22, static_cast<unsigned>(layout.samples.size()));
    put16(out, 0x24, static_cast<unsigned>(patternCount));
    put16(out, 0x28, 0x1320);
    put16(out, 0x2A, 2); // unsigned samples
    out.replace(0x2C, 4, "SCRM");
    put8(out, 0x30, 64);
    put8(out, 0x31, 6);
    put8(out, 0x32, 125);
    put8(out, 0x33, 0xB0); // stereo
    put8(out, 0x35, layout.panningTable ? 0xFC : 0);
    for (int channel = 0; channel < 32; ++channel)
        put8(out, 0x40 + channel, channel < layout.channels ? (channel % 2 == 0 ? channel / 2 : 8 + channel / 2) : 255);
    out += orders;
    const std::size_t instrumentPointers = out.size();
    const std::size_t patternPointers = instrumentPointers + 2 * layout.samples.size();
    out += Bytes(2 * (layout.samples.size() + patternCount), '\0');
    if (layout.panningTable)
        for (int channel = 0; channel < 32; ++channel)
            out += static_cast<char>(0x20 | (channel % 2 == 0 ? 3 : 12));

    std::vector<std::size_t> instrumentAt;
    for (std::size_t i = 0; i < layout.samples.size(); ++i) {
        alignTo16(out);
        put16(out, instrumentPointers + 2 * i, static_cast<unsigned>(out.size() / 16));
        instrumentAt.push_back(out.size());
        const S3mSample& sample = layout.samples[i];
        Bytes instrument(80, '\0');
        put8(instrument, 0, 1);
        put32(instrument, 0x10, sample.length);
        put8(instrument, 0x1C, 64);
        put8(instrument, 0x1F, (sample.stereo ? 2 : 0) | (sample.sixteenBit ? 4 : 0));
        put32(instrument, 0x20, 8363);
        putText(instrument, 0x30, "Sample " + std::to_string(i + 1), 28);
        instrument.replace(0x4C, 4, "SCRS");
        out += instrument;
    }
    auto writePatterns = [&] {
        for (int i = 0; i < layout.patterns; ++i) {
            alignTo16(out);
            put16(out, patternPointers + 2 * i, static_cast<unsigned>(out.size() / 16));
            out += s3mPattern(layout.storedPatternLength);
        }
    };
    auto writeSampleData = [&] {
        for (std::size_t i = 0; i < layout.samples.size(); ++i) {
            const S3mSample& sample = layout.samples[i];
            if (sample.length == 0)
                continue;
            alignTo16(out);
            const std::size_t para = out.size() / 16;
            put8(out, instrumentAt[i] + 0x0D, static_cast<unsigned>(para >> 16));
            put16(out, instrumentAt[i] + 0x0E, static_cast<unsigned>(para & 0xFFFF));
            out += repeated(sample.fill,
                            std::size_t{sample.length} * (sample.stereo ? 2 : 1) * (sample.sixteenBit ? 2 : 1));
        }
    };
    if (layout.patternsLast) {
        writeSampleData();
        writePatterns();
    } else {
        writePatterns();
        writeSampleData();
    }
    return out;
}

// --- FastTracker 2 -------------------------------------------------------------------------------

Bytes buildXm(const XmLayout& layout) {
    const std::size_t patternCount = static_cast<std::size_t>(layout.patterns + layout.emptyPatterns);
    Bytes out(60 + 276, '\0');
    out.replace(0, 17, "Extended Module: ");
    putText(out, 17, layout.title, 20);
    put8(out, 37, 0x1A);
    putText(out, 38, "Zendrow tests", 20);
    put16(out, 58, 0x0104);
    put32(out, 60, 276);
    put16(out, 64, static_cast<unsigned>(std::max<std::size_t>(patternCount, 1)));
    put16(out, 68, static_cast<unsigned>(layout.channels));
    put16(out, 70, static_cast<unsigned>(patternCount));
    put16(out, 72, static_cast<unsigned>(layout.instruments.size()));
    put16(out, 74, 1); // linear frequencies
    put16(out, 76, 6);
    put16(out, 78, 125);
    for (std::size_t i = 0; i < patternCount; ++i)
        put8(out, 80 + i, static_cast<unsigned>(i));

    for (std::size_t i = 0; i < patternCount; ++i) {
        Bytes data;
        if (i < static_cast<std::size_t>(layout.patterns)) {
            // Row 0, channel 1: C-4 with instrument 1; every other cell empty (0x80: nothing follows).
            data = Bytes("\x83\x31\x01", 3) + Bytes(64 * layout.channels - 1, '\x80');
        }
        out += u32le(9) + '\0' + u16le(64) + u16le(static_cast<std::uint16_t>(data.size())) + data;
    }

    for (std::size_t i = 0; i < layout.instruments.size(); ++i) {
        const XmInstrument& instrument = layout.instruments[i];
        if (instrument.samples.empty()) {
            Bytes header(29, '\0');
            put32(header, 0, 29);
            putText(header, 4, "Empty " + std::to_string(i + 1), 22);
            out += header;
            continue;
        }
        Bytes header(263, '\0');
        put32(header, 0, 263);
        putText(header, 4, "Instrument " + std::to_string(i + 1), 22);
        put16(header, 27, static_cast<unsigned>(instrument.samples.size()));
        put32(header, 29, 40);
        out += header;
        Bytes data;
        for (std::size_t s = 0; s < instrument.samples.size(); ++s) {
            const XmSample& sample = instrument.samples[s];
            Bytes sampleHeader(40, '\0');
            put32(sampleHeader, 0, sample.length);
            put8(sampleHeader, 12, 64);
            put8(sampleHeader, 14, sample.sixteenBit ? 0x10 : 0);
            put8(sampleHeader, 15, 128);
            put8(sampleHeader, 17, sample.adpcm ? 0xAD : 0);
            putText(sampleHeader, 18, "Sample " + std::to_string(s + 1), 22);
            out += sampleHeader;
            data += repeated(sample.fill, sample.adpcm ? 16 + (std::size_t{sample.length} + 1) / 2 : sample.length);
        }
        out += data;
    }
    return out;
}

Bytes xmChunk(std::string_view id, std::string_view payload) {
    if (id.size() != 4)
        throw std::invalid_argument("an XM chunk id has 4 bytes");
    return Bytes(id) + u32le(static_cast<std::uint32_t>(payload.size())) + Bytes(payload);
}

Bytes openMptProperties(const std::vector<PropertyEntry>& instrumentEntries, int instruments,
                        const std::vector<PropertyEntry>& songEntries) {
    Bytes out = "XTPM";
    for (const PropertyEntry& entry : instrumentEntries) {
        out += entry.code + u16le(static_cast<std::uint16_t>(entry.value.size()));
        for (int i = 0; i < instruments; ++i)
            out += entry.value;
    }
    out += "STPM";
    for (const PropertyEntry& entry : songEntries)
        out += entry.code + u16le(static_cast<std::uint16_t>(entry.value.size())) + entry.value;
    return out;
}

// --- ProTracker ----------------------------------------------------------------------------------

Bytes buildMod(const ModLayout& layout) {
    std::string tag = layout.tag;
    if (tag.empty()) {
        if (layout.channels == 4)
            tag = "M.K.";
        else if (layout.channels < 10)
            tag = std::to_string(layout.channels) + "CHN";
        else
            tag = std::to_string(layout.channels) + "CH";
    }
    Bytes out(1084, '\0');
    putText(out, 0, layout.title, 20);
    for (int i = 0; i < 31; ++i) {
        const std::size_t at = 20 + 30 * static_cast<std::size_t>(i);
        const std::uint16_t words = static_cast<std::size_t>(i) < layout.sampleWords.size()
                                        ? layout.sampleWords[static_cast<std::size_t>(i)]
                                        : 0;
        if (words != 0)
            putText(out, at, "Sample " + std::to_string(i + 1), 22);
        putBe16(out, at + 22, words);
        put8(out, at + 25, 64);
        putBe16(out, at + 28, 1); // no loop
    }
    put8(out, 950, static_cast<unsigned>(layout.orders.size()));
    put8(out, 951, 127);
    std::size_t patterns = 0;
    std::size_t at = 952;
    for (const std::vector<std::uint8_t>* list : {&layout.orders, &layout.unplayedOrders})
        for (std::uint8_t order : *list) {
            put8(out, at++, order);
            patterns = std::max<std::size_t>(patterns, std::size_t{order} + 1);
        }
    patterns = std::max<std::size_t>(patterns, 1);
    out.replace(1080, 4, tag.substr(0, 4));

    for (std::size_t p = 0; p < patterns; ++p) {
        Bytes pattern(64 * 4 * static_cast<std::size_t>(layout.channels), '\0');
        // Row 0, channel 1: sample 1 at period 428 (C-2).
        put8(pattern, 0, 0x01);
        put8(pattern, 1, 0xAC);
        put8(pattern, 2, 0x10);
        out += pattern;
    }
    for (std::uint16_t words : layout.sampleWords)
        out += repeated(layout.fill, std::size_t{words} * 2);
    return out;
}

// --- Containers ----------------------------------------------------------------------------------

Bytes containerOf(const std::vector<Placed>& pieces, std::size_t size, std::uint32_t seed) {
    Bytes out = junk(size, seed);
    std::size_t end = 0;
    for (const Placed& piece : pieces) {
        if (piece.offset < end || piece.offset + piece.bytes.size() > size)
            throw std::invalid_argument("container pieces overlap or do not fit");
        out.replace(piece.offset, piece.bytes.size(), piece.bytes);
        end = piece.offset + piece.bytes.size();
    }
    return out;
}

std::vector<Bytes> falseSignatures() {
    std::vector<Bytes> out;
    // IT: too many instruments; then a sane count but a sample header pointer into the header.
    Bytes it = "IMPM" + junk(0xC0 + 64, 2);
    put16(it, 0x20, 2);
    put16(it, 0x22, 300);
    put16(it, 0x24, 0);
    put16(it, 0x26, 0);
    out.push_back(it);
    put16(it, 0x22, 0);
    put16(it, 0x24, 1);
    put32(it, 0xC0 + 2, 0x10);
    out.push_back(it);
    // S3M: the signature with junk around it, then with a wrong type byte.
    out.push_back(junk(44, 3) + "SCRM" + junk(100, 4));
    Bytes s3m = buildS3m({.title = "Not a song"});
    put8(s3m, 0x1D, 17);
    out.push_back(s3m);
    // XM: an older version, and the 0x1A missing.
    Bytes xm = buildXm({.title = "Old"});
    put16(xm, 58, 0x0103);
    out.push_back(xm);
    xm = buildXm({.title = "No EOF mark"});
    put8(xm, 37, 0x20);
    out.push_back(xm);
    // MOD: a tag after junk; an order of 128; a sample volume of 65; a finetune of 16.
    out.push_back(junk(1080, 5) + "M.K." + junk(64, 6));
    Bytes mod = buildMod({.title = "Bad order", .channels = 8});
    put8(mod, 952 + 127, 128);
    out.push_back(mod);
    mod = buildMod({.title = "Too loud", .channels = 12});
    put8(mod, 20 + 25, 65);
    out.push_back(mod);
    mod = buildMod({.title = "Detuned", .tag = "FLT4"});
    put8(mod, 20 + 30 + 24, 16);
    out.push_back(mod);
    return out;
}

} // namespace zendrow::test
