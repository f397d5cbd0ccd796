#include "engine/display_text.h"

#include <gtest/gtest.h>

#include "engine/conversion_run.h"

namespace zendrow {
namespace {

struct DisplayCase {
    const char* description;
    std::string text;
    std::string name;    ///< as displayName shows it
    std::string message; ///< as displayMessage shows it
};

class DisplayTextTest : public testing::TestWithParam<DisplayCase> {};

TEST_P(DisplayTextTest, ShowsNothingThatDrivesATerminal) {
    const DisplayCase& c = GetParam();
    EXPECT_EQ(displayName(c.text), c.name);
    EXPECT_EQ(displayMessage(c.text), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DisplayTextTest,
    testing::Values(
        DisplayCase{"Plain", "/music/Level 1.vnr", "/music/Level 1.vnr", "/music/Level 1.vnr"},
        DisplayCase{"Utf8", "\xc3\x9c"
                            "ber \xe9\x9f\xb3.it",
                    "\xc3\x9c"
                    "ber \xe9\x9f\xb3.it",
                    "\xc3\x9c"
                    "ber \xe9\x9f\xb3.it"},
        DisplayCase{"BackslashAndQuoteInAPlainName", "a\\b'c", "a\\b'c", "a\\b'c"},
        DisplayCase{"NewlineForgingALine", "a.vnr\nconverted  x -> y", "$'a.vnr\\nconverted  x -> y'",
                    "a.vnr\\nconverted  x -> y"},
        DisplayCase{"EscapeSequences", "\x1b]0;title\x07\x1b[2J.vnr", "$'\\x1b]0;title\\a\\x1b[2J.vnr'",
                    "\\x1b]0;title\\a\\x1b[2J.vnr"},
        DisplayCase{"CEscapes", "\t\r\b\f\v\x7f", "$'\\t\\r\\b\\f\\v\\x7f'", "\\t\\r\\b\\f\\v\\x7f"},
        DisplayCase{"EscapedNameKeepsItsBackslashAndQuoteUnambiguous", "it's\\\n", "$'it\\'s\\\\\\n'",
                    "it's\\\\n"},
        DisplayCase{"InvalidUtf8", "a\xff\xc3(\xed\xa0\x80.vnr", "$'a\\xff\\xc3(\\xed\\xa0\\x80.vnr'",
                    "a\\xff\\xc3(\\xed\\xa0\\x80.vnr"},
        DisplayCase{"OverlongSlash", "\xc0\xaf", "$'\\xc0\\xaf'", "\\xc0\\xaf"},
        DisplayCase{"C1ControlAndDirectionOverride", "a\xc2\x9b"
                                                     "b\xe2\x80\xae"
                                                     "c",
                    "$'a\\xc2\\x9bb\\xe2\\x80\\xaec'", "a\\xc2\\x9bb\\xe2\\x80\\xaec"},
        DisplayCase{"LeadingSpace", " song.vnr", "' song.vnr'", " song.vnr"},
        DisplayCase{"TrailingSpace", "song.vnr ", "'song.vnr '", "song.vnr "},
        DisplayCase{"SpaceAndQuote", " it's", "$' it\\'s'", " it's"},
        DisplayCase{"Empty", "", "", ""}),
    [](const testing::TestParamInfo<DisplayCase>& info) { return info.param.description; });

TEST(DisplayText, TheSummaryShowsNamesAndReasonsTheSameWay) {
    RunReport report;
    report.counts = {0, 0, 1};
    report.failures.push_back(
        {FileResult::Outcome::Failed, "a\nb.vnr", "/in/a\nb.vnr", "", "cannot create \"/out/a\nb.it\": Denied", {}});
    EXPECT_EQ(report.summary(), "0 file(s) converted succesfully,\n0 file(s) skipped.\n1 file(s) failed:\n"
                                "$'a\\nb.vnr': cannot create \"/out/a\\nb.it\": Denied");
}

} // namespace
} // namespace zendrow
