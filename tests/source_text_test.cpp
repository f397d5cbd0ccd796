#include "engine/source_text.h"

#include <gtest/gtest.h>

namespace zendrow {
namespace {

TEST(SplitDriveStep, DriveLetterFirstThenTheRest) {
    const struct {
        const char* text;
        const char* folder;
        std::optional<char> drive;
        const char* path;
    } cases[] = {
        {"E:", "C:\\Games", 'E', ""},                        // another drive: its current folder, nothing more
        {"c:\\music", "C:\\Games", std::nullopt, "\\music"}, // same drive, any case: no switch
        {"C:", "c:\\", std::nullopt, ""},
        {"e:\\mods\\*.it", "C:\\Games", 'e', "\\mods\\*.it"},
        {"D:sub", "", 'D', "sub"}, // no folder yet: always switch
        {"music\\level1.vnr", "C:\\Games", std::nullopt, "music\\level1.vnr"},
        {"\\\\server\\share", "C:\\Games", std::nullopt, "\\\\server\\share"},
        {"1:", "C:\\", std::nullopt, "1:"}, // not a drive letter
        {":x", "C:\\", std::nullopt, ":x"},
        {"E", "C:\\", std::nullopt, "E"},
        {"", "C:\\", std::nullopt, ""},
    };
    for (const auto& c : cases) {
        const SourceTextSteps steps = splitDriveStep(c.text, c.folder);
        EXPECT_EQ(steps.drive, c.drive) << c.text << " on " << c.folder;
        EXPECT_EQ(steps.path, c.path) << c.text << " on " << c.folder;
    }
}

} // namespace
} // namespace zendrow
