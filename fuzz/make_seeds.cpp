// Writes the seed corpus of the fuzz targets from the test fixtures:
//   fuzz_make_seeds fuzz/corpus
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/fixtures.h"
#include "tests/support/module_builder.h"

using namespace zendrow::test;
namespace fs = std::filesystem;

namespace {

struct Seed {
    const char* name;
    Bytes bytes;
};

Bytes headWindow(const Bytes& bytes) {
    return bytes.substr(0, 255);
}

// A body longer than the head window, so that copies go past the bytes that were searched.
Bytes longBody() {
    Bytes body;
    for (int i = 0; i < 1500; ++i)
        body += static_cast<char>(i * 7 % 251);
    return body;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path corpus = argv[1];

    const Bytes scrmTooEarly = container(20, "SCRM" + Bytes(30, 'x'), "") + s3mModule("Late"); // SCRM at 20
    const Bytes containers[][2] = {
        // name, container
        {"plain_it", itModule("Song")},
        {"plain_s3m", s3mModule("Theme")},
        {"s3m_at_60", container(60, s3mModule("Level 2"), "trailer")},
        {"scrm_below_44", scrmTooEarly},
        {"impm_at_251", container(251, itModule("Cut off"))},
        {"s3m_last_start", container(207, s3mModule("Last"))},
        {"no_module", container(300, "")},
        {"cp437_title", itModule("\x9a"
                                 "ber \xe1\xff\xb0")},
        {"reserved_con", itModule("CON")},
        {"reserved_com1_ext", s3mModule("com1.song")},
        {"slash_title", itModule("../../etc/passwd")},
        {"backslash_title", s3mModule("Act 1\\Boss")},
        {"dots_title", itModule(" . ..")},
        {"long_cp437_title", container(0, "IMPM" + Bytes(251, '\xdb'))},
        {"long_body", container(33, itModule("Big", longBody()), "end")},
    };

    const Seed titles[] = {
        {"plain", "Song"},
        {"cp437", "\x9a"
                  "ber \xe1\xff\xb0"},
        {"reserved_con", "CON"},
        {"reserved_nul_ext", "nul.x"},
        {"reserved_lpt9", "LPT9.song"},
        {"not_reserved", "CONSOLE"},
        {"com0", "COM0"},
        {"slash", "../../etc/passwd"},
        {"backslash", "Act 1\\Boss"},
        {"colon", "C:x"},
        {"dots_spaces", " . .."},
        {"control", "tab\there\x7f"},
        {"long_cp437", Bytes(251, '\xdb')},
    };

    int written = 0;
    auto write = [&](const char* target, const std::string& name, const Bytes& bytes) {
        fs::create_directories(corpus / target);
        writeFile((corpus / target / name).string(), bytes);
        ++written;
    };
    for (const auto& [name, bytes] : containers) {
        write("fuzz_locate", name, headWindow(bytes));
        // The first byte of an extraction input picks the options: bit 0 the naming rule,
        // bit 1 an existing destination, bit 2 a trailing separator on it (fuzz/README.md).
        write("fuzz_extract", name + "_original", '\x00' + bytes);
        write("fuzz_extract", name + "_source", '\x07' + bytes);
    }
    for (const Seed& seed : titles)
        write("fuzz_title_name", seed.name, seed.bytes);

    // Scan mode: small modules of every kind, alone, together in junk, cut, and false signatures.
    using Encoding = ItSample::Encoding;
    const Bytes it = buildIt({.title = "Seed IT",
                              .instruments = 1,
                              .samples = {{.length = 40, .fill = "IMPM"},
                                          {.length = 20, .sixteenBit = true, .stereo = true},
                                          {.length = 30, .encoding = Encoding::Adpcm},
                                          {.length = 50, .encoding = Encoding::Compressed}},
                              .message = "msg"});
    const Bytes s3m = buildS3m({.title = "Seed S3M",
                                .samples = {{.length = 30, .fill = "SCRM"}, {.length = 10, .sixteenBit = true}},
                                .panningTable = true});
    const Bytes xm = buildXm({.title = "Seed XM",
                              .channels = 2,
                              .emptyPatterns = 1,
                              .instruments = {{}, {{{.length = 30, .fill = "M.K."}, {.length = 21, .adpcm = true}}}}});
    const Bytes mod = buildMod({.title = "Seed MOD", .orders = {0, 1}, .sampleWords = {8, 0, 5}});
    const Bytes mod12 = buildMod({.title = "Seed 12CH", .channels = 12, .sampleWords = {4}});
    const Bytes properties = openMptProperties({{"VE..", "ab"}}, 1, {{"DT..", "xy"}});
    const Seed scans[] = {
        {"it", it},
        {"s3m", s3m},
        {"xm", xm},
        {"mod", mod},
        {"mod_12ch", mod12},
        {"it_out_of_order", buildIt({.title = "Data first", .samples = {{.length = 16}}, .dataFirst = true})},
        {"s3m_patterns_last", buildS3m({.title = "Rows", .samples = {{.length = 8}}, .patternsLast = true})},
        {"it_properties", it + properties + "IMPM"},
        {"xm_chunks", xm + xmChunk("text", "hi") + xmChunk("PNAM", "p") + properties},
        {"several", containerOf({{3, it}, {it.size() + 10, s3m}, {it.size() + s3m.size() + 17, xm},
                                 {it.size() + s3m.size() + xm.size() + 30, mod}},
                                it.size() + s3m.size() + xm.size() + mod.size() + 41)},
        {"it_cut", it.substr(0, it.size() - 5)},
        {"xm_cut", xm.substr(0, xm.size() - 3)},
        {"mod_cut", junk(7) + mod.substr(0, mod.size() - 9)},
        {"s3m_cut_in_rows", buildS3m({.title = "Cut", .patternsLast = true}).substr(0, 0x60 + 4 + 2 + 40)},
    };
    for (const Seed& seed : scans) {
        write("fuzz_scan", seed.name, seed.bytes);
        // The whole extraction in the whole-file search (bit 3): once plain, once as a listing
        // (bit 4) by container names into a destination that already holds some of them (bit 5).
        write("fuzz_extract", std::string("scan_") + seed.name, '\x08' + seed.bytes);
        write("fuzz_extract", std::string("scan_list_") + seed.name, '\x3f' + seed.bytes);
    }
    write("fuzz_extract", "scan_same_title_twice",
          '\x2a' + containerOf({{5, it}, {it.size() + 9, it}}, 2 * it.size() + 20));
    int fake = 0;
    for (const Bytes& bytes : falseSignatures())
        write("fuzz_scan", "false_" + std::to_string(++fake), bytes);
    std::printf("%d seeds written to %s\n", written, corpus.string().c_str());
    return 0;
}
