#include "engine/module_scanner.h"

#include <gtest/gtest.h>

#include "tests/support/memory_file.h"
#include "tests/support/module_builder.h"

namespace zendrow {
namespace {

using test::Bytes;
using test::MemoryFile;
using test::Placed;

constexpr std::uint64_t kMiB = 1 << 20;

struct Expected {
    ModuleKind kind;
    std::uint64_t offset;
    std::uint64_t length;
    std::uint64_t missing = 0;
    std::string title;
    bool missingAtLeast = false; ///< the cut hides headers: 0 < found missing <= missing
};

struct ScanResult {
    bool ok = false;
    std::string error;
    std::vector<FoundModule> modules;
};

ScanResult scanFile(InputFile& file, std::uint64_t size) {
    ScanResult result;
    ModuleScanner scanner;
    result.ok = scanner.scan(
        file, size,
        [&](const FoundModule& found) {
            result.modules.push_back(found);
            return true;
        },
        [](std::uint64_t) { return true; }, result.error);
    return result;
}

ScanResult scanBytes(const Bytes& bytes) {
    MemoryFile file(bytes);
    ScanResult result = scanFile(file, bytes.size());
    EXPECT_FALSE(file.readPastEnd);
    EXPECT_LE(file.largestRead, 2 * kMiB);
    return result;
}

void expectModules(const std::vector<FoundModule>& found, const std::vector<Expected>& expected) {
    ASSERT_EQ(found.size(), expected.size());
    for (std::size_t i = 0; i < found.size(); ++i) {
        SCOPED_TRACE("module " + std::to_string(i));
        EXPECT_EQ(found[i].kind, expected[i].kind);
        EXPECT_EQ(found[i].offset, expected[i].offset);
        EXPECT_EQ(found[i].length, expected[i].length);
        if (expected[i].missingAtLeast) {
            EXPECT_GT(found[i].missing, 0u);
            EXPECT_LE(found[i].missing, expected[i].missing);
        } else {
            EXPECT_EQ(found[i].missing, expected[i].missing);
        }
        EXPECT_EQ(found[i].title, expected[i].title);
    }
}

// --- The modules of the fixtures -----------------------------------------------------------------

using test::ItSample;

std::vector<ItSample> itSamples() {
    return {
        {.length = 500, .fill = "it8"},
        {.length = 300, .sixteenBit = true},
        {.length = 200, .sixteenBit = true, .stereo = true},
        {.length = 0},
        {.length = 777, .encoding = ItSample::Encoding::Adpcm},
        {.length = 70000, .encoding = ItSample::Encoding::Compressed},
        {.length = 20000, .sixteenBit = true, .stereo = true, .encoding = ItSample::Encoding::Compressed},
        {.length = 333, .stereo = true},
    };
}

Bytes fullIt(const std::string& title, bool dataFirst = false) {
    return test::buildIt({.title = title,
                          .patterns = 2,
                          .emptyPatterns = 1,
                          .instruments = 2,
                          .samples = itSamples(),
                          .message = "Made for the tests.\rSecond line.",
                          .dataFirst = dataFirst});
}

Bytes fullS3m(const std::string& title, bool patternsLast = false, std::uint16_t storedPatternLength = 0) {
    return test::buildS3m({.title = title,
                           .channels = 8,
                           .patterns = 2,
                           .emptyPatterns = 1,
                           .samples = {{.length = 1000, .fill = "s3m"},
                                       {.length = 500, .sixteenBit = true},
                                       {.length = 300, .stereo = true},
                                       {.length = 0},
                                       {.length = 250, .sixteenBit = true, .stereo = true}},
                           .panningTable = true,
                           .patternsLast = patternsLast,
                           .storedPatternLength = storedPatternLength});
}

Bytes fullXm(const std::string& title) {
    return test::buildXm({.title = title,
                          .channels = 6,
                          .patterns = 2,
                          .emptyPatterns = 2,
                          .instruments = {{},
                                          {{{.length = 1000, .fill = "xm"}, {.length = 2000, .sixteenBit = true}}},
                                          {{{.length = 999, .adpcm = true}}},
                                          {}}});
}

Bytes mod(const std::string& title, int channels, std::vector<std::uint16_t> words = {100, 0, 37}) {
    return test::buildMod({.title = title, .channels = channels, .orders = {0, 1, 0}, .sampleWords = words});
}

// --- One module, alone and in containers ---------------------------------------------------------

struct ScanCase {
    std::string description;
    Bytes file;
    std::vector<Expected> modules;
};

void PrintTo(const ScanCase& c, std::ostream* os) {
    *os << c.description;
}

class ModuleScannerTest : public testing::TestWithParam<ScanCase> {};

TEST_P(ModuleScannerTest, FindsExactlyTheModules) {
    const ScanCase& c = GetParam();
    const ScanResult result = scanBytes(c.file);
    ASSERT_TRUE(result.ok) << result.error;
    expectModules(result.modules, c.modules);
}

std::string describe(const testing::TestParamInfo<ScanCase>& info) {
    std::string name = std::to_string(info.index) + "_";
    for (char ch : info.param.description)
        name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return name;
}

struct Sample {
    std::string name;
    ModuleKind kind;
    Bytes bytes;
    std::string title;
};

std::vector<Sample> singleModules() {
    return {
        {"IT with every kind of sample and a message", ModuleKind::IT, fullIt("Full IT"), "Full IT"},
        {"IT stored out of order", ModuleKind::IT, fullIt("Data first", true), "Data first"},
        {"IT with samples only", ModuleKind::IT, test::buildIt({.title = "Samples", .samples = {{.length = 10}}}),
         "Samples"},
        {"IT with nothing", ModuleKind::IT, test::buildIt({.title = "Empty", .patterns = 0}), "Empty"},
        {"S3M with panning, 16-bit and stereo", ModuleKind::S3M, fullS3m("Full S3M"), "Full S3M"},
        {"S3M with patterns last and a wrong stored length", ModuleKind::S3M, fullS3m("Walked", true, 0xFFFF),
         "Walked"},
        {"S3M with a short stored length", ModuleKind::S3M, fullS3m("Short", true, 2), "Short"},
        {"XM with empty and full patterns and instruments", ModuleKind::XM, fullXm("Full XM"), "Full XM"},
        {"XM with nothing", ModuleKind::XM, test::buildXm({.title = "Bare", .channels = 1, .patterns = 0}), "Bare"},
        {"XM with 64 channels", ModuleKind::XM, test::buildXm({.title = "Wide", .channels = 64}), "Wide"},
        {"MOD with 4 channels", ModuleKind::MOD, mod("Four", 4), "Four"},
        {"MOD with 6 channels", ModuleKind::MOD, mod("Six", 6), "Six"},
        {"MOD with 8 channels", ModuleKind::MOD, mod("Eight", 8), "Eight"},
        {"MOD with 12 channels", ModuleKind::MOD, mod("Twelve", 12), "Twelve"},
        {"MOD whose highest order is not played", ModuleKind::MOD,
         test::buildMod({.title = "Unplayed", .orders = {0}, .unplayedOrders = {0, 5, 2}}), "Unplayed"},
        {"MOD with 31 samples", ModuleKind::MOD,
         test::buildMod({.title = "Many", .sampleWords = std::vector<std::uint16_t>(31, 3)}), "Many"},
    };
}

std::vector<ScanCase> singleCases() {
    std::vector<Sample> modules = singleModules();
    // Each kind of sample data alone, so that its length is the module's end.
    int n = 0;
    for (const ItSample& sample : itSamples()) {
        const std::string title = "IT sample " + std::to_string(++n);
        modules.push_back(
            {title + " alone", ModuleKind::IT, test::buildIt({.title = title, .samples = {sample}}), title});
    }
    for (const test::S3mSample& sample :
         {test::S3mSample{.length = 99, .fill = "x"}, test::S3mSample{.length = 99, .sixteenBit = true},
          test::S3mSample{.length = 99, .stereo = true},
          test::S3mSample{.length = 99, .sixteenBit = true, .stereo = true}}) {
        const std::string title = "S3M sample " + std::to_string(++n);
        modules.push_back(
            {title + " alone", ModuleKind::S3M, test::buildS3m({.title = title, .samples = {sample}}), title});
    }
    std::vector<ScanCase> cases;
    for (const Sample& s : modules) {
        cases.push_back({s.name + ", alone", s.bytes, {{s.kind, 0, s.bytes.size(), 0, s.title}}});
        cases.push_back({s.name + ", at an odd offset with junk around",
                         test::junk(1001, 7) + s.bytes + test::junk(333, 8),
                         {{s.kind, 1001, s.bytes.size(), 0, s.title}}});
    }
    // Every MOD tag, with the channel count it stands for.
    const struct {
        const char* tag;
        int channels;
    } tags[] = {{"M.K.", 4},  {"M!K!", 4},  {"M&K!", 4}, {"FLT4", 4}, {"4CHN", 4}, {"6CHN", 6},
                {"8CHN", 8},  {"CD81", 8},  {"OKTA", 8}, {"OCTA", 8}, {"1CHN", 1}, {"9CHN", 9},
                {"10CH", 10}, {"32CH", 32}, {"TDZ1", 1}, {"TDZ2", 2}, {"TDZ3", 3}};
    for (const auto& t : tags) {
        const Bytes bytes = test::buildMod({.title = t.tag, .channels = t.channels, .tag = t.tag});
        cases.push_back({std::string("MOD tag ") + t.tag,
                         test::junk(77, 9) + bytes + test::junk(5000, 10),
                         {{ModuleKind::MOD, 77, bytes.size(), 0, t.tag}}});
    }
    // Titles: the field's width, up to the first NUL, trailing spaces dropped.
    Bytes fullWidth = test::buildIt({.title = std::string(26, 'T') + "XY"});
    cases.push_back(
        {"IT title fills its field", fullWidth, {{ModuleKind::IT, 0, fullWidth.size(), 0, Bytes(26, 'T')}}});
    Bytes spaced = test::buildS3m({.title = std::string("  Song  \0junk", 13)});
    cases.push_back({"S3M title with spaces and a NUL", spaced, {{ModuleKind::S3M, 0, spaced.size(), 0, "  Song"}}});
    Bytes xmTitle = test::buildXm({.title = "Twenty characters!!!"});
    cases.push_back(
        {"XM title fills its field", xmTitle, {{ModuleKind::XM, 0, xmTitle.size(), 0, "Twenty characters!!!"}}});
    Bytes latin = test::buildMod({.title = "Caf\xe9   "});
    cases.push_back({"MOD title keeps its high bytes", latin, {{ModuleKind::MOD, 0, latin.size(), 0, "Caf\xe9"}}});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(OneModule, ModuleScannerTest, testing::ValuesIn(singleCases()), describe);

// --- Several per file, overlaps, false signatures ------------------------------------------------

std::vector<ScanCase> severalCases() {
    std::vector<ScanCase> cases;
    const Bytes it = fullIt("First");
    const Bytes s3m = fullS3m("Second");
    const Bytes xm = fullXm("Third");
    const Bytes mod8 = mod("Fourth", 8);
    {
        std::vector<Placed> pieces;
        std::vector<Expected> expected;
        std::size_t at = 333;
        for (const auto& [kind, bytes, title] :
             {std::tuple{ModuleKind::IT, it, "First"}, std::tuple{ModuleKind::S3M, s3m, "Second"},
              std::tuple{ModuleKind::XM, xm, "Third"}, std::tuple{ModuleKind::MOD, mod8, "Fourth"}}) {
            pieces.push_back({at, bytes});
            expected.push_back({kind, at, bytes.size(), 0, title});
            at += bytes.size() + 1237;
        }
        cases.push_back({"four kinds with junk between", test::containerOf(pieces, at + 99), expected});
    }
    {
        const Bytes file = mod8 + xm + s3m + it + mod("Again", 4);
        std::uint64_t at = 0;
        std::vector<Expected> expected;
        for (const auto& [kind, size, title] :
             {std::tuple{ModuleKind::MOD, mod8.size(), "Fourth"}, std::tuple{ModuleKind::XM, xm.size(), "Third"},
              std::tuple{ModuleKind::S3M, s3m.size(), "Second"}, std::tuple{ModuleKind::IT, it.size(), "First"},
              std::tuple{ModuleKind::MOD, mod("Again", 4).size(), "Again"}}) {
            expected.push_back({kind, at, size, 0, title});
            at += size;
        }
        cases.push_back({"back to back, no junk", file, expected});
    }
    {
        Bytes file;
        for (const Bytes& fake : test::falseSignatures())
            file += fake + test::junk(50, 11);
        const std::size_t at = file.size();
        file += it + test::junk(10, 12);
        for (const Bytes& fake : test::falseSignatures())
            file += fake;
        cases.push_back({"false signatures in the junk", file, {{ModuleKind::IT, at, it.size(), 0, "First"}}});
    }
    {
        // Sample data that holds signatures, and even whole modules: a sample can hold any bytes.
        Bytes signatures;
        for (const Bytes& fake : test::falseSignatures())
            signatures += fake;
        const Bytes holder =
            test::buildIt({.title = "Holder", .samples = {{.length = 200000, .fill = it + xm + signatures}}});
        const Bytes xmHolder =
            test::buildXm({.title = "XM holder", .instruments = {{{{.length = 30000, .fill = mod8 + s3m}}}}});
        const Bytes s3mHolder = test::buildS3m({.title = "S3M holder", .samples = {{.length = 20000, .fill = xm}}});
        const Bytes modHolder = test::buildMod({.title = "MOD holder", .sampleWords = {8000}, .fill = s3m + it});
        const Bytes file =
            test::containerOf({{5, holder},
                               {holder.size() + 10, xmHolder},
                               {holder.size() + xmHolder.size() + 20, s3mHolder},
                               {holder.size() + xmHolder.size() + s3mHolder.size() + 30, modHolder}},
                              holder.size() + xmHolder.size() + s3mHolder.size() + modHolder.size() + 40);
        cases.push_back({"modules and signatures inside sample data are ignored",
                         file,
                         {{ModuleKind::IT, 5, holder.size(), 0, "Holder"},
                          {ModuleKind::XM, holder.size() + 10, xmHolder.size(), 0, "XM holder"},
                          {ModuleKind::S3M, holder.size() + xmHolder.size() + 20, s3mHolder.size(), 0, "S3M holder"},
                          {ModuleKind::MOD, holder.size() + xmHolder.size() + s3mHolder.size() + 30, modHolder.size(),
                           0, "MOD holder"}}});
    }
    {
        // A MOD starts 1080 bytes before its tag. Here its sample names hold a bare but valid IT header,
        // whose signature comes before the MOD's tag but which starts after the MOD: the MOD wins.
        Bytes holder = mod8;
        holder.replace(20, 7, Bytes("IMPMIn\0", 7));
        const Bytes file = test::junk(10, 13) + holder + it;
        cases.push_back({"candidates in the order of their starts",
                         file,
                         {{ModuleKind::MOD, 10, mod8.size(), 0, "Fourth"},
                          {ModuleKind::IT, 10 + mod8.size(), it.size(), 0, "First"}}});
        cases.push_back({"the IT header in the MOD's sample names is a module by itself",
                         holder.substr(20),
                         {{ModuleKind::IT, 0, 0xC0, 0, "In"}}});
    }
    {
        // Straddling the scan's 1 MiB steps: a signature cut by a step, a MOD whose tag lies in the next.
        const Bytes small = mod("Small", 4);
        const Bytes file = test::containerOf({{kMiB - 2, test::buildIt({.title = "Split"})},
                                              {2 * kMiB - 500, small},
                                              {3 * kMiB - 30, test::buildS3m({.title = "Split S3M"})}},
                                             4 * kMiB);
        cases.push_back(
            {"modules across the scan's steps",
             file,
             {{ModuleKind::IT, kMiB - 2, test::buildIt({.title = "Split"}).size(), 0, "Split"},
              {ModuleKind::MOD, 2 * kMiB - 500, small.size(), 0, "Small"},
              {ModuleKind::S3M, 3 * kMiB - 30, test::buildS3m({.title = "Split S3M"}).size(), 0, "Split S3M"}}});
    }
    {
        // An S3M's signature at 44 and an IT's "IMPM" at the same start: IT is tried first.
        Bytes both = test::buildIt({.title = "Both"});
        const Bytes file = both + test::junk(100, 14);
        cases.push_back({"a module at the very start and a MOD tag too early",
                         "M.K." + file,
                         {{ModuleKind::IT, 4, both.size(), 0, "Both"}}});
    }
    {
        cases.push_back({"empty file", "", {}});
        cases.push_back({"only junk", test::junk(3 * kMiB + 17, 15), {}});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Several, ModuleScannerTest, testing::ValuesIn(severalCases()), describe);

// --- OpenMPT's extension blocks ------------------------------------------------------------------

std::vector<ScanCase> extensionCases() {
    std::vector<ScanCase> cases;
    const Bytes it = fullIt("Extended IT");
    const Bytes properties = test::openMptProperties({{"VE..", "ab"}, {"MiP.", "c"}}, 2,
                                                     {{"DT..", "\x7d\x01"}, {"RPB.", "\x04\x01\x02\x03"}});
    cases.push_back({"IT keeps its property blocks",
                     test::junk(3, 16) + it + properties + test::junk(100, 17),
                     {{ModuleKind::IT, 3, it.size() + properties.size(), 0, "Extended IT"}}});
    const Bytes second = test::buildIt({.title = "Next"});
    cases.push_back({"IT property blocks end where the next module starts",
                     it + properties + second,
                     {{ModuleKind::IT, 0, it.size() + properties.size(), 0, "Extended IT"},
                      {ModuleKind::IT, it.size() + properties.size(), second.size(), 0, "Next"}}});
    cases.push_back({"a property block cut by the end of the file is left out",
                     it + properties.substr(0, properties.size() - 1),
                     {{ModuleKind::IT, 0, it.size() + properties.size() - 10, 0, "Extended IT"}}});

    const Bytes xm = fullXm("Extended XM");
    const Bytes chunks = test::xmChunk("text", "Song message") + test::xmChunk("MIDI", Bytes(10, 'm')) +
                         test::xmChunk("PNAM", Bytes(64, '\0')) + test::xmChunk("CNAM", Bytes(40, 'c')) +
                         test::xmChunk("CHFX", Bytes(24, '\0')) + test::xmChunk("FX00", Bytes(50, 'p'));
    const Bytes xmProperties = test::openMptProperties({{"VE..", "x"}}, 4, {{"DT..", "\x7d\x01"}});
    cases.push_back({"XM keeps its chunks and property blocks",
                     test::junk(9, 18) + xm + chunks + xmProperties + test::junk(64, 19),
                     {{ModuleKind::XM, 9, xm.size() + chunks.size() + xmProperties.size(), 0, "Extended XM"}}});
    cases.push_back({"an unknown XM chunk ends the module",
                     xm + test::xmChunk("abcd", "what") + chunks,
                     {{ModuleKind::XM, 0, xm.size(), 0, "Extended XM"}}});
    cases.push_back({"no blocks after an S3M",
                     fullS3m("Plain") + properties,
                     {{ModuleKind::S3M, 0, fullS3m("Plain").size(), 0, "Plain"}}});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Extensions, ModuleScannerTest, testing::ValuesIn(extensionCases()), describe);

// --- Truncated modules and cuts before a header --------------------------------------------------

std::vector<ScanCase> truncationCases() {
    std::vector<ScanCase> cases;
    auto cut = [&](const std::string& what, ModuleKind kind, const Bytes& module, std::size_t keep,
                   const std::string& title, bool lowerBound = false) {
        const Bytes file = test::junk(21, 20) + module.substr(0, keep);
        cases.push_back({what, file, {{kind, 21, keep, module.size() - keep, title, lowerBound}}});
    };
    auto gone = [&](const std::string& what, const Bytes& module, std::size_t keep) {
        cases.push_back({what, test::junk(21, 21) + module.substr(0, keep), {}});
    };

    const Bytes it = fullIt("Cut IT");
    cut("IT cut in its last sample's data", ModuleKind::IT, it, it.size() - 100, "Cut IT");
    cut("IT cut one byte short", ModuleKind::IT, it, it.size() - 1, "Cut IT");
    // The last samples are compressed: a cut in their blocks hides the byte counts of the blocks after it.
    const Bytes compressed =
        test::buildIt({.title = "Packed", .samples = {{.length = 70000, .encoding = ItSample::Encoding::Compressed}}});
    const std::size_t dataAt = compressed.size() - (2 + 36864) * 2 - (2 + 5022);
    cut("IT cut inside a compressed block", ModuleKind::IT, compressed, compressed.size() - 10, "Packed");
    cut("IT cut before a block's byte count", ModuleKind::IT, compressed, dataAt + 2 + 36864 + 1, "Packed", true);
    const Bytes outOfOrder = fullIt("Headers last", true);
    gone("IT cut in its sample headers", outOfOrder, outOfOrder.size() - 10);
    gone("IT cut in its header", it, 0xC0 - 1);
    gone("IT cut in its pointer tables", it, 0xC0 + 8);
    // Patterns are not headers: a cut pattern is a truncated module.
    const Bytes itPatternsLast = test::buildIt({.title = "Notes last", .patterns = 3});
    cut("IT cut in its last pattern", ModuleKind::IT, itPatternsLast, itPatternsLast.size() - 20, "Notes last");

    const Bytes s3m = fullS3m("Cut S3M");
    cut("S3M cut in its sample data", ModuleKind::S3M, s3m, s3m.size() - 33, "Cut S3M");
    const Bytes s3mPatternsLast = fullS3m("Rows cut", true);
    // 3 empty rows hidden by the cut: the walk knows only that each needs its end byte.
    cut("S3M cut in its last pattern's rows", ModuleKind::S3M, s3mPatternsLast, s3mPatternsLast.size() - 3, "Rows cut");
    cut("S3M cut in a note", ModuleKind::S3M, s3mPatternsLast, s3mPatternsLast.size() - 64 - 2, "Rows cut", true);
    gone("S3M cut in its instruments", s3m, 0x60 + 8 + 2 * 8 + 32 + 40);
    gone("S3M cut in its panning table", s3m, 0x60 + 4 + 2 * 8 + 10);

    const Bytes xm = test::buildXm({.title = "Cut XM", .instruments = {{{{.length = 5000}}}}});
    cut("XM cut in its sample data", ModuleKind::XM, xm, xm.size() - 4000, "Cut XM");
    const Bytes xmAdpcm = test::buildXm({.title = "Cut ADPCM", .instruments = {{{{.length = 5000, .adpcm = true}}}}});
    cut("XM cut in ADPCM data", ModuleKind::XM, xmAdpcm, xmAdpcm.size() - 1, "Cut ADPCM");
    const Bytes xmNoInstruments = test::buildXm({.title = "Patterns only", .patterns = 2});
    cut("XM cut in its last pattern", ModuleKind::XM, xmNoInstruments, xmNoInstruments.size() - 5, "Patterns only");
    gone("XM cut in its sample header", xm, xm.size() - 5000 - 20);
    gone("XM cut in its instrument header", xm, xm.size() - 5000 - 40 - 100);
    gone("XM cut in a pattern header", xmNoInstruments, 336 + 5);
    gone("XM cut in its header", xm, 300);

    const Bytes mod4 = mod("Cut MOD", 4, {1000});
    cut("MOD cut in its sample data", ModuleKind::MOD, mod4, mod4.size() - 1999, "Cut MOD");
    cut("MOD cut in its patterns", ModuleKind::MOD, mod4, 1084 + 100, "Cut MOD");
    gone("MOD cut before its tag ends", mod4, 1083);
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Truncated, ModuleScannerTest, testing::ValuesIn(truncationCases()), describe);

// --- Files over 4 GiB ----------------------------------------------------------------------------

std::size_t findBytes(const Bytes& in, std::string_view what) {
    const std::size_t at = in.find(what);
    EXPECT_NE(at, Bytes::npos);
    return at;
}

TEST(ModuleScannerLarge, OffsetsAndLengthsOver4GiB) {
    // An IT whose one 16-bit stereo sample is 4.5 GiB of zeros, then an XM past 4 GiB, then a MOD
    // cut by the end of the file. Only the headers are real bytes; the rest of the file is sparse.
    Bytes it = test::buildIt({.title = "Huge", .samples = {{.length = 1, .sixteenBit = true, .stereo = true}}});
    const std::size_t header = findBytes(it, "IMPS");
    const std::uint32_t frames = 0x48000000;
    it.replace(header + 0x30, 4, test::u32le(frames));
    const std::uint64_t itAt = 1000;
    const std::uint64_t itLength = it.size() - 4 + std::uint64_t{frames} * 4;
    const Bytes xm = fullXm("Far");
    const std::uint64_t xmAt = itAt + itLength + 12345;
    const Bytes mod4 = mod("Last", 4, {5000});
    const std::uint64_t modAt = xmAt + xm.size() + 3 * kMiB + 1;
    const std::uint64_t size = modAt + mod4.size() - 777;
    MemoryFile file(size, {{itAt, it.substr(0, it.size() - 4)}, {xmAt, xm}, {modAt, mod4}});

    const ScanResult result = scanFile(file, size);
    ASSERT_TRUE(result.ok) << result.error;
    expectModules(result.modules, {{ModuleKind::IT, itAt, itLength, 0, "Huge"},
                                   {ModuleKind::XM, xmAt, xm.size(), 0, "Far"},
                                   {ModuleKind::MOD, modAt, mod4.size() - 777, 777, "Last"}});
    EXPECT_FALSE(file.readPastEnd);
    EXPECT_LE(file.largestRead, 2 * kMiB);
    EXPECT_LT(file.bytesRead, 16 * kMiB) << "the sample data of an accepted module is not read";
}

TEST(ModuleScannerLarge, TruncationOver4GiB) {
    Bytes it = test::buildIt({.title = "Cut huge", .samples = {{.length = 1, .sixteenBit = true}}});
    const std::size_t header = findBytes(it, "IMPS");
    it.replace(header + 0x30, 4, test::u32le(0xFFFFFFFF));
    const std::uint64_t wanted = it.size() - 2 + std::uint64_t{0xFFFFFFFF} * 2;
    const std::uint64_t size = std::uint64_t{5} << 30;
    MemoryFile file(size, {{0, it.substr(0, it.size() - 2)}});
    const ScanResult result = scanFile(file, size);
    ASSERT_TRUE(result.ok) << result.error;
    expectModules(result.modules, {{ModuleKind::IT, 0, size, wanted - size, "Cut huge"}});
}

// --- Stopping, progress and read errors ----------------------------------------------------------

TEST(ModuleScannerControl, StopsWhenTheCallbacksSaySo) {
    const Bytes file = test::containerOf(
        {{100, test::buildIt({.title = "One"})}, {20 * kMiB, test::buildIt({.title = "Two"})}}, 40 * kMiB);
    MemoryFile memory(file);
    ModuleScanner scanner;
    std::string error;
    int modules = 0;
    ASSERT_TRUE(scanner.scan(
        memory, file.size(), [&](const FoundModule&) { return ++modules < 1; }, [](std::uint64_t) { return true; },
        error));
    EXPECT_EQ(modules, 1);

    modules = 0;
    std::vector<std::uint64_t> progress;
    ASSERT_TRUE(scanner.scan(
        memory, file.size(),
        [&](const FoundModule&) {
            ++modules;
            return true;
        },
        [&](std::uint64_t scanned) {
            progress.push_back(scanned);
            return scanned < 10 * kMiB;
        },
        error));
    EXPECT_EQ(modules, 1) << "the scan stopped before the second module";
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_GE(progress.back(), 10 * kMiB);
    EXPECT_LT(progress.back(), 20 * kMiB);
}

TEST(ModuleScannerControl, ReportsProgressToTheEnd) {
    const Bytes file = test::junk(20 * kMiB + 5, 22);
    MemoryFile memory(file);
    std::vector<std::uint64_t> progress;
    std::string error;
    ASSERT_TRUE(ModuleScanner().scan(
        memory, file.size(), [](const FoundModule&) { return true; },
        [&](std::uint64_t scanned) {
            progress.push_back(scanned);
            return true;
        },
        error));
    ASSERT_GE(progress.size(), 2u);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), file.size());
}

struct FailureCase {
    std::string description;
    Bytes file;
    std::uint64_t failAt;
    std::uint64_t claimedSize; ///< 0: the file's own size
    int modulesBefore;         ///< found before the failure
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.description;
}

class ModuleScannerFailureTest : public testing::TestWithParam<FailureCase> {};

TEST_P(ModuleScannerFailureTest, FailsWithTheReason) {
    const FailureCase& c = GetParam();
    MemoryFile file(c.file);
    file.failAt = c.failAt;
    const ScanResult result = scanFile(file, c.claimedSize != 0 ? c.claimedSize : c.file.size());
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
    if (c.failAt != UINT64_MAX) {
        EXPECT_EQ(result.error, "Input/output error");
    }
    EXPECT_EQ(static_cast<int>(result.modules.size()), c.modulesBefore);
}

std::vector<FailureCase> failureCases() {
    const Bytes first = test::buildIt({.title = "Before"});
    // Sample headers stored after 3 MiB of sample data: checking them reads outside the scan's chunk.
    const Bytes far = test::buildIt(
        {.title = "Far headers", .samples = {{.length = 3 * 1024 * 1024, .fill = "abc"}}, .dataFirst = true});
    const Bytes file = test::containerOf({{10, first}, {kMiB, far}}, kMiB + far.size() + 100);
    return {
        {"the first read", file, 0, 0, 0},
        {"a later chunk", test::junk(5 * kMiB, 23), 3 * kMiB + 5, 0, 0},
        {"a header outside the chunk", file, kMiB + far.size() - 40, 0, 1},
        {"a file shorter than its size", first, UINT64_MAX, first.size() + 3 * kMiB, 0},
    };
}

INSTANTIATE_TEST_SUITE_P(ReadErrors, ModuleScannerFailureTest, testing::ValuesIn(failureCases()),
                         [](const testing::TestParamInfo<FailureCase>& info) {
                             std::string name;
                             for (char ch : info.param.description)
                                 name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

} // namespace
} // namespace zendrow
