#include "engine/output_naming.h"

#include <gtest/gtest.h>

namespace zendrow {
namespace {

using namespace std::string_literals;

struct TitleCase {
    std::string title;
    ModuleKind kind;
    std::optional<std::string> name; ///< nothing: the title is refused, the source name is used
};

// Test lists and names show the title, escaped, rather than the case's raw bytes.
void PrintTo(const TitleCase& c, std::ostream* os) { *os << testing::PrintToString(c.title); }

std::string caseNumber(const testing::TestParamInfo<TitleCase>& info) {
    return std::to_string(info.index);
}

class NameFromTitleTest : public testing::TestWithParam<TitleCase> {};

TEST_P(NameFromTitleTest, GivesAPlainFileNameOrNothing) {
    const TitleCase& c = GetParam();
    EXPECT_EQ(nameFromTitle(c.title, c.kind), c.name) << "title: " << c.title;
}

INSTANTIATE_TEST_SUITE_P(
    Accepted, NameFromTitleTest,
    testing::Values(TitleCase{"Song", ModuleKind::IT, "Song.it"}, TitleCase{"Theme", ModuleKind::S3M, "Theme.s3m"},
                    TitleCase{"  Act 1 - Boss (remix) ", ModuleKind::IT, "  Act 1 - Boss (remix) .it"},
                    TitleCase{"CONSOLE", ModuleKind::IT, "CONSOLE.it"}, TitleCase{"COM00", ModuleKind::IT, "COM00.it"},
                    TitleCase{"LPT10", ModuleKind::IT, "LPT10.it"}, TitleCase{" CON", ModuleKind::IT, " CON.it"},
                    TitleCase{"CONIN", ModuleKind::IT, "CONIN.it"}, TitleCase{".hidden", ModuleKind::IT, ".hidden.it"},
                    TitleCase{"..x", ModuleKind::IT, "..x.it"},
                    // Code page 437, as trackers write titles and players show them.
                    TitleCase{"\x9a"
                              "ber",
                              ModuleKind::IT,
                              "\xc3\x9c"
                              "ber.it"},
                    TitleCase{"\xe1\xff\xb0", ModuleKind::S3M, "\xc3\x9f\xc2\xa0\xe2\x96\x91.s3m"},
                    TitleCase{"\x9a"
                              "ber",
                              ModuleKind::XM,
                              "\xc3\x9c"
                              "ber.xm"},
                    TitleCase{"Song", ModuleKind::MOD, "Song.mod"},
                    // MOD titles are ISO 8859-1, as the Amiga wrote them: each byte is its own code point.
                    TitleCase{"\xdc"
                              "ber",
                              ModuleKind::MOD,
                              "\xc3\x9c"
                              "ber.mod"},
                    TitleCase{"\xa0\xe9\xff", ModuleKind::MOD, "\xc2\xa0\xc3\xa9\xc3\xbf.mod"},
                    TitleCase{"com\xb9", ModuleKind::IT, "com\xe2\x95\xa3.it"}),
    caseNumber);

INSTANTIATE_TEST_SUITE_P(
    Refused, NameFromTitleTest,
    testing::Values(TitleCase{"", ModuleKind::IT, {}}, TitleCase{" . ..", ModuleKind::S3M, {}},
                    TitleCase{"..", ModuleKind::IT, {}}, TitleCase{"Act 1\\Boss", ModuleKind::IT, {}},
                    TitleCase{"../../etc/passwd", ModuleKind::IT, {}}, TitleCase{"/abs", ModuleKind::IT, {}},
                    TitleCase{"Intro?", ModuleKind::IT, {}}, TitleCase{"a<b", ModuleKind::IT, {}},
                    TitleCase{"a>b", ModuleKind::IT, {}}, TitleCase{"C:x", ModuleKind::IT, {}},
                    TitleCase{"say \"hi\"", ModuleKind::IT, {}}, TitleCase{"a|b", ModuleKind::IT, {}},
                    TitleCase{"*", ModuleKind::IT, {}}, TitleCase{"tab\there", ModuleKind::IT, {}},
                    TitleCase{"line\nbreak", ModuleKind::IT, {}}, TitleCase{"del\x7f", ModuleKind::IT, {}},
                    TitleCase{"\x1f", ModuleKind::IT, {}}, TitleCase{"CON", ModuleKind::IT, {}},
                    TitleCase{"nul.x", ModuleKind::IT, {}}, TitleCase{"Aux", ModuleKind::S3M, {}},
                    TitleCase{"prn", ModuleKind::IT, {}}, TitleCase{"com1", ModuleKind::IT, {}},
                    TitleCase{"LPT9.song", ModuleKind::S3M, {}}, TitleCase{"CON ", ModuleKind::IT, {}},
                    TitleCase{"aux  .x", ModuleKind::IT, {}}, TitleCase{"conout$", ModuleKind::IT, {}},
                    TitleCase{"CONIN$", ModuleKind::IT, {}}, TitleCase{"COM\xfd", ModuleKind::IT, {}},
                    TitleCase{"lpt\xfd", ModuleKind::S3M, {}},
                    // Reserved by Windows since these were first refused.
                    TitleCase{"COM0", ModuleKind::IT, {}}, TitleCase{"lpt0", ModuleKind::S3M, {}},
                    TitleCase{"Lpt0.song", ModuleKind::IT, {}},
                    TitleCase{"CON", ModuleKind::MOD, {}},
                    TitleCase{"a/b", ModuleKind::XM, {}},
                    // 0x80 to 0x9F are control characters in ISO 8859-1, letters in code page 437.
                    TitleCase{"x\x80", ModuleKind::MOD, {}}, TitleCase{"\x9f", ModuleKind::MOD, {}},
                    TitleCase{"\x85"
                              "ber",
                              ModuleKind::MOD,
                              {}},
                    // ISO 8859-1's superscript one makes a device name as code page 437's does not.
                    TitleCase{"com\xb9", ModuleKind::MOD, {}}),
    caseNumber);

TEST(NameFromSource, ReplacesTheExtensionFromTheLastDot) {
    const struct {
        const char* item;
        ModuleKind kind;
        const char* name;
    } cases[] = {
        {"Level1.vnr", ModuleKind::IT, "Level1.it"}, {"a.b.vnr", ModuleKind::IT, "a.b.it"},
        {"Level1", ModuleKind::IT, "Level1.it"},     {"Theme.vnr", ModuleKind::S3M, "Theme.s3m"},
        {"Song.it", ModuleKind::IT, "Song.it"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(nameFromSource(c.item, c.kind), c.name) << c.item;
}

TEST(JoinPath, PutsExactlyOneSeparatorBetween) {
    const struct {
        const char* folder;
        const char* path;
    } cases[] = {
#ifdef _WIN32
        // The platform's separator is a backslash; a folder that ends in either kind keeps it.
        {"C:\\Music\\Mods", "C:\\Music\\Mods\\Song.it"},
        {"C:\\Music\\Mods\\", "C:\\Music\\Mods\\Song.it"},
        {"C:/Music/Mods/", "C:/Music/Mods/Song.it"},
        {"C:\\", "C:\\Song.it"},
        {"\\\\server\\share", "\\\\server\\share\\Song.it"},
#else
        {"/music/mods", "/music/mods/Song.it"},
        {"/music/mods/", "/music/mods/Song.it"},
        {"/", "/Song.it"},
        {"C:\\Music", "C:\\Music/Song.it"}, // a backslash is a letter of the name here
#endif
        {"", "Song.it"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(joinPath(c.folder, "Song.it"), c.path) << c.folder;
}

TEST(NamingRule, AnyIndexButZeroMeansFromSourceFiles) {
    EXPECT_EQ(namingRuleFromIndex(0), NamingRule::Original);
    EXPECT_EQ(namingRuleFromIndex(1), NamingRule::FromSourceFiles);
    EXPECT_EQ(namingRuleFromIndex(-1), NamingRule::FromSourceFiles);
    EXPECT_EQ(namingRuleFromIndex(7), NamingRule::FromSourceFiles);
}

} // namespace
} // namespace zendrow
