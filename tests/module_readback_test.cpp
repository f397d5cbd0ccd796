// An independent reader confirms the scanner's work: every module it finds in the fixtures, cut out
// exactly as an output would hold it, loads in libopenmpt with the kind and title expected.
#include "engine/module_scanner.h"

#include <sstream>

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>

#include "tests/support/memory_file.h"
#include "tests/support/module_builder.h"

namespace zendrow {
namespace {

using test::Bytes;
using test::ItSample;

struct ReadBackCase {
    std::string description;
    Bytes module;
    std::string type; ///< libopenmpt's name of the format
    std::string title;
};

void PrintTo(const ReadBackCase& c, std::ostream* os) {
    *os << c.description;
}

class ModuleScannerReadBackTest : public testing::TestWithParam<ReadBackCase> {};

TEST_P(ModuleScannerReadBackTest, EveryFoundModuleLoadsInLibopenmpt) {
    const ReadBackCase& c = GetParam();
    // The module twice, at odd offsets, with junk and false signatures around it.
    Bytes file = test::junk(333, 1);
    for (const Bytes& fake : test::falseSignatures())
        file += fake;
    const std::size_t first = file.size();
    file += c.module + test::junk(1001, 2);
    const std::size_t second = file.size();
    file += c.module + test::junk(77, 3);

    test::MemoryFile input(file);
    std::vector<FoundModule> found;
    std::string error;
    ASSERT_TRUE(ModuleScanner().scan(
        input, file.size(),
        [&](const FoundModule& module) {
            found.push_back(module);
            return true;
        },
        [](std::uint64_t) { return true; }, error))
        << error;
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].offset, first);
    EXPECT_EQ(found[1].offset, second);

    for (const FoundModule& module : found) {
        EXPECT_EQ(module.length, c.module.size());
        EXPECT_EQ(module.missing, 0u);
        const std::vector<std::uint8_t> bytes(file.begin() + static_cast<std::ptrdiff_t>(module.offset),
                                              file.begin() +
                                                  static_cast<std::ptrdiff_t>(module.offset + module.length));
        std::ostringstream log;
        try {
            openmpt::module player(bytes, log);
            EXPECT_EQ(player.get_metadata("type"), c.type) << log.str();
            EXPECT_EQ(player.get_metadata("title"), c.title) << log.str();
            EXPECT_EQ(module.title, c.title);
        } catch (const openmpt::exception& e) {
            ADD_FAILURE() << "libopenmpt refused the module: " << e.what() << "\n" << log.str();
        }
    }
}

std::vector<ReadBackCase> readBackCases() {
    using test::S3mSample;
    using test::XmSample;
    const std::vector<ItSample> itSamples = {
        {.length = 500, .fill = "it8"},
        {.length = 300, .sixteenBit = true},
        {.length = 200, .sixteenBit = true, .stereo = true},
        {.length = 0},
        {.length = 777, .encoding = ItSample::Encoding::Adpcm},
        {.length = 70000, .encoding = ItSample::Encoding::Compressed},
        {.length = 20000, .sixteenBit = true, .stereo = true, .encoding = ItSample::Encoding::Compressed},
    };
    return {
        {"IT, every kind of sample, a message",
         test::buildIt({.title = "Full IT",
                        .patterns = 2,
                        .emptyPatterns = 1,
                        .instruments = 2,
                        .samples = itSamples,
                        .message = "Made for the tests."}),
         "it", "Full IT"},
        {"IT stored out of order", test::buildIt({.title = "Data first", .samples = itSamples, .dataFirst = true}),
         "it", "Data first"},
        {"IT with nothing", test::buildIt({.title = "Empty IT", .patterns = 0}), "it", "Empty IT"},
        {"S3M with panning, 16-bit and stereo samples",
         test::buildS3m({.title = "Full S3M",
                         .channels = 8,
                         .patterns = 2,
                         .emptyPatterns = 1,
                         .samples = {{.length = 1000},
                                     {.length = 500, .sixteenBit = true},
                                     {.length = 300, .stereo = true},
                                     {.length = 0}},
                         .panningTable = true}),
         "s3m", "Full S3M"},
        {"S3M with patterns last",
         test::buildS3m({.title = "Patterns last", .samples = {{.length = 64}}, .patternsLast = true}), "s3m",
         "Patterns last"},
        {"XM with empty and full patterns and instruments, ADPCM",
         test::buildXm({.title = "Full XM",
                        .channels = 6,
                        .patterns = 2,
                        .emptyPatterns = 1,
                        .instruments = {{},
                                        {{XmSample{.length = 1000}, XmSample{.length = 2000, .sixteenBit = true}}},
                                        {{XmSample{.length = 999, .adpcm = true}}}}}),
         "xm", "Full XM"},
        {"XM with nothing", test::buildXm({.title = "Bare XM", .channels = 1, .patterns = 0}), "xm", "Bare XM"},
        {"XM with OpenMPT's blocks",
         test::buildXm({.title = "Chunks", .instruments = {{{XmSample{.length = 100}}}}}) +
             test::xmChunk("text", "Song message") + test::xmChunk("CNAM", Bytes(20, '\0')),
         "xm", "Chunks"},
        {"MOD, 4 channels", test::buildMod({.title = "Four", .orders = {0, 1}, .sampleWords = {100, 0, 50}}), "mod",
         "Four"},
        {"MOD, 6 channels", test::buildMod({.title = "Six", .channels = 6}), "mod", "Six"},
        {"MOD, 8 channels", test::buildMod({.title = "Eight", .channels = 8}), "mod", "Eight"},
        {"MOD, 12 channels", test::buildMod({.title = "Twelve", .channels = 12}), "mod", "Twelve"},
        {"MOD, 31 samples", test::buildMod({.title = "Many", .sampleWords = std::vector<std::uint16_t>(31, 8)}), "mod",
         "Many"},
    };
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ModuleScannerReadBackTest, testing::ValuesIn(readBackCases()),
                         [](const testing::TestParamInfo<ReadBackCase>& info) {
                             std::string name = std::to_string(info.index) + "_";
                             for (char ch : info.param.description)
                                 name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

} // namespace
} // namespace zendrow
