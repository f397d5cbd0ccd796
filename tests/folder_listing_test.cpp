#include "engine/folder_listing.h"

#include <filesystem>

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include "engine/utf8_path.h"
#include "tests/support/fixtures.h"
#include "tests/support/platform.h"
#include "tests/support/temp_dir.h"

namespace zendrow {
namespace {

TEST(MatchesMask, WildcardsAndLetterCase) {
    const struct {
        const char* name;
        const char* mask;
        bool match;
    } cases[] = {
        {"Level1.vnr", "*.vnr", true},
        {"LEVEL1.VNR", "*.vnr", true},
        {"level1.vnr", "*.VNR", true},
        {"Level1.vnrx", "*.vnr", false},
        {"Level1.vn", "*.vnr", false},
        {".vnr", "*.vnr", true},
        {"a.vnr.bak", "*.vnr", false},
        {"a.b.vnr", "*.vnr", true},
        {"Song.it", "*.it", true},
        {"x", "?", true},
        {"", "?", false},
        {"", "*", true},
        {"abc", "a*c", true},
        {"abcbc", "a*bc", true},
        {"abcb", "a*bc", false},
        {"music.vnr", "m?sic.*", true},
        {"anything", "*", true},
        {"Level1.vnr", "level1.vnr", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(matchesMask(c.name, c.mask), c.match) << c.name << " vs " << c.mask;
}

TEST(ListMatchingFiles, PlainVisibleMatchingFilesSortedIgnoringCase) {
    test::TempDir dir;
    // "Ωmega.vnr": a name beyond ASCII comes back as the same UTF-8, after the ASCII names.
    for (const char* name : {"b.vnr", "A.VNR", "\xce\xa9mega.vnr", "c.Vnr", "notes.txt", "a2.vnr"})
        test::writeFile(dir / name, "x");
    std::filesystem::create_directory(dir / "folder.vnr");
    std::vector<std::string> expected{"A.VNR", "a2.vnr", "b.vnr", "c.Vnr"};
    if (test::makeLink(dir / "b.vnr", dir / "link.vnr") &&
        test::makeLink(dir / "folder.vnr", dir / "dirlink.vnr", true))
        expected.push_back("link.vnr");
    expected.push_back("\xce\xa9mega.vnr");
#ifdef _WIN32
    // Windows hides a file by its attributes, and system files stay out too.
    for (const auto& [name, attribute] :
         {std::pair{"hidden.vnr", FILE_ATTRIBUTE_HIDDEN}, std::pair{"system.vnr", FILE_ATTRIBUTE_SYSTEM}}) {
        test::writeFile(dir / name, "x");
        ASSERT_TRUE(::SetFileAttributesW(pathFromUtf8(dir / name).c_str(), attribute));
    }
#else
    test::writeFile(dir / ".hidden.vnr", "x");
    // Names that differ only in case keep a fixed order: the bytes decide.
    test::writeFile(dir / "B.vnr", "x");
    expected.insert(expected.begin() + 2, "B.vnr");
#endif

    std::vector<std::string> names;
    std::string error;
    DiskFileSystem disk;
    ASSERT_TRUE(listMatchingFiles(disk, dir.str(), kDefaultMask, names, error)) << error;
    EXPECT_EQ(names, expected);
}

TEST(ListMatchingFiles, MissingFolderIsAnError) {
    test::TempDir dir;
    std::vector<std::string> names{"stale"};
    std::string error;
    DiskFileSystem disk;
    EXPECT_FALSE(listMatchingFiles(disk, dir / "nope", kDefaultMask, names, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(names.empty());
}

} // namespace
} // namespace zendrow
