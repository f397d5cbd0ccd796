#include "engine/module_locator.h"

#include <cctype>

#include <gtest/gtest.h>

#include "tests/support/fixtures.h"

namespace zendrow {
namespace {

using test::Bytes;

std::span<const std::uint8_t> bytesOf(const Bytes& b) {
    return {reinterpret_cast<const std::uint8_t*>(b.data()), b.size()};
}

using namespace std::string_literals;

// A full head window of filler with what at offset.
Bytes at(std::size_t offset, std::string_view what, char filler = '\0') {
    Bytes head(kHeadWindowSize, filler);
    head.replace(offset, what.size(), what);
    return head;
}

struct LocateCase {
    const char* description;
    Bytes head;
    bool found;
    ModuleKind kind;
    std::uint64_t start;
    std::string title;
};

void PrintTo(const LocateCase& c, std::ostream* os) { *os << c.description; }

class LocateTest : public testing::TestWithParam<LocateCase> {};

TEST_P(LocateTest, FindsKindStartAndTitle) {
    const LocateCase& c = GetParam();
    const LocateResult r = locateModule(bytesOf(c.head));
    ASSERT_EQ(r.found, c.found);
    if (!c.found)
        return;
    EXPECT_EQ(r.kind, c.kind);
    EXPECT_EQ(r.start, c.start);
    EXPECT_EQ(moduleTitle(bytesOf(c.head), r), c.title);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LocateTest,
    testing::Values(
        LocateCase{"plain IT file", test::itModule("Intro"), true, ModuleKind::IT, 0, "Intro"},
        LocateCase{"plain S3M file", test::s3mModule("Theme"), true, ModuleKind::S3M, 0, "Theme"},
        LocateCase{"S3M at 60 in a container", test::container(60, test::s3mModule("Boss")), true, ModuleKind::S3M, 60,
                   "Boss"},
        LocateCase{"first match wins, S3M before IT", at(200, "IMPM").replace(150, 4, "SCRM"), true, ModuleKind::S3M,
                   106, ""},
        LocateCase{"IMPM tried before SCRM at the same offset", at(44, "IMPMSCRM"), true, ModuleKind::IT, 44, "SCRM"},
        LocateCase{"other letter case is no match", at(10, "impm").replace(100, 4, "Scrm"), false, {}, 0, ""},
        LocateCase{"shorter than a signature", Bytes("IMP"), false, {}, 0, ""},
        LocateCase{"empty file", Bytes(), false, {}, 0, ""},
        LocateCase{"signature starting at 252 is cut off", at(252, "IMP"), false, {}, 0, ""},
        LocateCase{"IMPM at 251 has its title past the window", at(251, "IMPM", 'x'), true, ModuleKind::IT, 251, ""},
        LocateCase{"title starting with NUL is empty", test::itModule(""), true, ModuleKind::IT, 0, ""},
        LocateCase{"title filling its field runs on into the header", "IMPM" + Bytes(26, 'T') + "XY\0z"s, true,
                   ModuleKind::IT, 0, Bytes(26, 'T') + "XY"},
        LocateCase{"short read ends the title", Bytes("IMPMab"), true, ModuleKind::IT, 0, "ab"},
        LocateCase{"SCRM below 44 is no module, the search goes on", at(10, "SCRM").replace(120, 4, "IMPM"), true,
                   ModuleKind::IT, 120, ""},
        LocateCase{"SCRM at exactly 44 starts at 0", at(0, "Song").replace(44, 4, "SCRM"), true, ModuleKind::S3M, 0,
                   "Song"},
        LocateCase{"SCRM alone below 44 gives nothing", at(43, "SCRM"), false, {}, 0, ""}),
    [](const testing::TestParamInfo<LocateCase>& info) {
        std::string name = info.param.description;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

} // namespace
} // namespace zendrow
