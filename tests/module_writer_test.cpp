#include "engine/module_writer.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "engine/utf8_path.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/fixtures.h"
#include "tests/support/platform.h"
#include "tests/support/temp_dir.h"

namespace zendrow {
namespace {

using test::Bytes;
using test::readFile;
using test::writeFile;
namespace fs = std::filesystem;

// One source container in src/, a destination folder dest/, and the writer over a faulty disk.
class ModuleWriterTest : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(m_dir / "src");
        fs::create_directory(m_dir / "dest");
    }

    // Writes the container as src/itemName, locates its module and writes it into destination.
    WriteResult convert(const Bytes& containerBytes, const std::string& itemName = "Level1.vnr",
                        NamingRule rule = NamingRule::Original, std::string destination = "") {
        if (destination.empty())
            destination = dest();
        const std::string path = m_dir / ("src/" + itemName);
        if (!fs::exists(path))
            writeFile(path, containerBytes);
        return convertExisting(path, itemName, rule, destination);
    }

    WriteResult convertExisting(const std::string& path, const std::string& itemName, NamingRule rule,
                                const std::string& destination) {
        std::string error;
        auto source = m_fs.openForReading(path, error);
        EXPECT_TRUE(source) << error;
        if (!source)
            return {};
        std::uint8_t head[kHeadWindowSize];
        const auto got = source->readAt(0, head, error);
        const std::span<const std::uint8_t> window(head, static_cast<std::size_t>(got));
        const LocateResult located = locateModule(window);
        EXPECT_TRUE(located.found);
        return ModuleWriter(m_fs).write(*source,
                                        {located.kind, located.start, std::nullopt, moduleTitle(window, located)},
                                        itemName, rule, destination, NameClash::MoveAside);
    }

    std::string dest() const { return m_dir / "dest"; }
    std::string out(const std::string& name) const { return m_dir / ("dest/" + name); }
    std::vector<std::string> destListing() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dest()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempDir m_dir;
    test::FaultyFileSystem m_fs;
};

TEST_F(ModuleWriterTest, WritesTheBytesFromTheModuleStartToTheContainerEnd) {
    const Bytes module = test::itModule("Song", Bytes(3000, '\x7f'));
    const WriteResult r = convert(test::container(77, module, "container trailer"));
    ASSERT_TRUE(r.written) << r.reason;
    EXPECT_EQ(r.outputPath, out("Song.it"));
    EXPECT_EQ(readFile(out("Song.it")), module + "container trailer");
}

TEST_F(ModuleWriterTest, NamesFromTheSourceUnderThatRule) {
    const WriteResult r =
        convert(test::container(5, test::s3mModule("Song")), "Theme.vnr", NamingRule::FromSourceFiles);
    ASSERT_TRUE(r.written) << r.reason;
    EXPECT_EQ(destListing(), std::vector<std::string>{"Theme.s3m"});
}

TEST_F(ModuleWriterTest, DestinationWithTrailingSeparatorGetsNoSecondOne) {
#ifdef _WIN32
    const char* separators[] = {"\\", "/"};
#else
    const char* separators[] = {"/"};
#endif
    for (const std::string separator : separators) {
        SCOPED_TRACE(separator);
        fs::remove(out("Song.it"));
        const WriteResult r = convert(test::itModule("Song"), "Level1.vnr", NamingRule::Original, dest() + separator);
        ASSERT_TRUE(r.written) << r.reason;
        EXPECT_EQ(r.outputPath, dest() + separator + "Song.it");
        EXPECT_EQ(readFile(out("Song.it")), test::itModule("Song"));
    }
}

TEST_F(ModuleWriterTest, RefusedTitlesFallBackToTheSourceName) {
    for (const char* title : {"Intro?", "", "../escape", "Act 1\\Boss", "CON", "a\x01z"}) {
        SCOPED_TRACE(title);
        fs::remove_all(dest());
        fs::create_directory(dest());
        fs::remove(m_dir / "src/Level1.vnr");
        const WriteResult r = convert(test::itModule(title));
        ASSERT_TRUE(r.written) << r.reason;
        EXPECT_EQ(destListing(), std::vector<std::string>{"Level1.it"});
    }
    EXPECT_FALSE(fs::exists(m_dir / "escape.it"));
}

TEST_F(ModuleWriterTest, TitleTooLongForTheFileSystemFallsBack) {
    // Each of these bytes becomes three in UTF-8: far past the file system's 255-byte limit.
    const WriteResult r = convert("IMPM" + Bytes(200, '\xb0') + '\0');
    ASSERT_TRUE(r.written) << r.reason;
    EXPECT_EQ(destListing(), std::vector<std::string>{"Level1.it"});
}

TEST_F(ModuleWriterTest, FileInTheWayIsKeptAsOld) {
    writeFile(out("Song.it"), "earlier");
    const WriteResult r = convert(test::itModule("Song"));
    ASSERT_TRUE(r.written) << r.reason;
    EXPECT_EQ(readFile(out("Song.it.old")), "earlier");
    EXPECT_EQ(readFile(out("Song.it")), test::itModule("Song"));
}

TEST_F(ModuleWriterTest, TakenOldNameSendsTheModuleToTheSourceName) {
    writeFile(out("Song.it"), "earlier");
    writeFile(out("Song.it.old"), "earliest");
    const WriteResult r = convert(test::itModule("Song"));
    ASSERT_TRUE(r.written) << r.reason;
    EXPECT_EQ(r.outputPath, out("Level1.it"));
    EXPECT_EQ(readFile(out("Song.it")), "earlier");
    EXPECT_EQ(readFile(out("Song.it.old")), "earliest");
}

TEST_F(ModuleWriterTest, NothingIsDestroyedWhenNeitherNameCanBeMadeFree) {
    for (const char* name : {"Song.it", "Song.it.old", "Level1.it", "Level1.it.old"})
        writeFile(out(name), name);
    const WriteResult r = convert(test::itModule("Song"));
    EXPECT_FALSE(r.written);
    EXPECT_NE(r.reason.find("Level1.it.old"), std::string::npos) << r.reason;
    for (const char* name : {"Song.it", "Song.it.old", "Level1.it", "Level1.it.old"})
        EXPECT_EQ(readFile(out(name)), name);
}

TEST_F(ModuleWriterTest, RefusedRenameCountsAsAFailedName) {
    writeFile(out("Song.it"), "earlier");
    m_fs.refuseRename = [](const std::string&, const std::string& to) { return to.ends_with("Song.it.old"); };
    const WriteResult r = convert(test::itModule("Song"));
    ASSERT_TRUE(r.written) << r.reason;
    EXPECT_EQ(destListing(), (std::vector<std::string>{"Level1.it", "Song.it"}));
    EXPECT_EQ(readFile(out("Song.it")), "earlier");
}

TEST_F(ModuleWriterTest, FolderInTheWayFallsBack) {
    fs::create_directory(out("Song.it"));
    const WriteResult r = convert(test::itModule("Song"));
    ASSERT_TRUE(r.written) << r.reason;
    EXPECT_EQ(r.outputPath, out("Level1.it"));
    EXPECT_TRUE(fs::is_directory(out("Song.it")));
}

TEST_F(ModuleWriterTest, LinkInTheWayIsMovedAsideNotFollowed) {
    const std::string elsewhere = m_dir / "precious.txt";
    writeFile(elsewhere, "keep me");
    if (!test::makeLink(elsewhere, out("Song.it")))
        GTEST_SKIP() << "this process may not make links";
    const WriteResult r = convert(test::itModule("Song"));
    ASSERT_TRUE(r.written) << r.reason;
    EXPECT_EQ(readFile(elsewhere), "keep me");
    EXPECT_TRUE(test::isLink(out("Song.it.old")));
    EXPECT_FALSE(test::isLink(out("Song.it")));
    EXPECT_EQ(readFile(out("Song.it")), test::itModule("Song"));
}

TEST_F(ModuleWriterTest, PublishingRefusedUnderBothNamesFailsAndRestoresTheFileInTheWay) {
    writeFile(out("Song.it"), "earlier");
    m_fs.refusePublish = [](const std::string&) { return true; };
    const WriteResult r = convert(test::itModule("Song"));
    EXPECT_FALSE(r.written);
    EXPECT_NE(r.reason.find("Level1.it"), std::string::npos) << r.reason;
    EXPECT_EQ(destListing(), std::vector<std::string>{"Song.it"});
    EXPECT_EQ(readFile(out("Song.it")), "earlier");
}

TEST_F(ModuleWriterTest, NoTemporaryMeansNothingIsTouched) {
    writeFile(out("Song.it"), "earlier");
    m_fs.refuseTemporary = [](const std::string&) { return true; };
    const WriteResult r = convert(test::itModule("Song"));
    EXPECT_FALSE(r.written);
    EXPECT_EQ(r.reason, "cannot create a file in \"" + dest() + "\": Permission denied");
    EXPECT_EQ(destListing(), std::vector<std::string>{"Song.it"});
}

TEST_F(ModuleWriterTest, FailedWriteLeavesTheDestinationAsItWas) {
    const Bytes module = test::itModule("Song", Bytes(100000, 'm'));
    for (std::uint64_t after : {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{65536}, module.size() - 1}) {
        SCOPED_TRACE(after);
        writeFile(out("Song.it"), "earlier");
        m_fs.failCopyAfter = after;
        const WriteResult r = convert(test::container(9, module));
        EXPECT_FALSE(r.written);
        EXPECT_NE(r.reason.find("No space left on device"), std::string::npos) << r.reason;
        EXPECT_EQ(destListing(), std::vector<std::string>{"Song.it"});
        EXPECT_EQ(readFile(out("Song.it")), "earlier");
    }
}

#ifdef _WIN32
TEST_F(ModuleWriterTest, TitlesBeyondTheAnsiCodePageKeepTheirLetters) {
    // The name is made with the wide calls: "Über" from CP437 and a folder named in Japanese
    // arrive as those letters, not as the ANSI code page's guess at them.
    const std::string folder = m_dir / "dest-\xe7\x9b\xae\xe7\x9a\x84"; // 目的
    fs::create_directory(pathFromUtf8(folder));
    const WriteResult r = convert(test::itModule("\x9a"
                                                 "ber \xe1\xe2"),
                                  "Level1.vnr", NamingRule::Original, folder);
    ASSERT_TRUE(r.written) << r.reason;
    EXPECT_EQ(r.outputPath, joinPath(folder, "\xc3\x9c"
                                             "ber \xc3\x9f\xce\x93.it"));
    std::vector<std::wstring> names;
    for (const auto& entry : fs::directory_iterator(pathFromUtf8(folder)))
        names.push_back(entry.path().filename().wstring());
    EXPECT_EQ(names, std::vector<std::wstring>{L"\u00dcber \u00df\u0393.it"});
    EXPECT_EQ(readFile(r.outputPath), test::itModule("\x9a"
                                                     "ber \xe1\xe2"));
}
#endif

TEST_F(ModuleWriterTest, OutputOnItsOwnSourceLeavesTheSourceAlone) {
    // The list shows ".it" files and the destination is the source folder: a plain IT file named
    // after its own title would be written over itself.
    const Bytes module = test::itModule("Song");
    const std::string source = m_dir / "src/Song.it";
    writeFile(source, module);
    for (NamingRule rule : {NamingRule::Original, NamingRule::FromSourceFiles}) {
        const WriteResult r = convertExisting(source, "Song.it", rule, m_dir / "src");
        EXPECT_FALSE(r.written);
        EXPECT_NE(r.reason.find("source file itself"), std::string::npos) << r.reason;
        EXPECT_EQ(readFile(source), module);
        EXPECT_FALSE(fs::exists(source + ".old"));
    }
}

TEST_F(ModuleWriterTest, SameTitleTwiceKeepsOneGeneration) {
    ASSERT_TRUE(convert(test::itModule("Song", "first"), "A.vnr").written);
    ASSERT_TRUE(convert(test::itModule("Song", "second"), "B.vnr").written);
    EXPECT_EQ(readFile(out("Song.it.old")), test::itModule("Song", "first"));
    EXPECT_EQ(readFile(out("Song.it")), test::itModule("Song", "second"));
    const WriteResult third = convert(test::itModule("Song", "third"), "C.vnr");
    ASSERT_TRUE(third.written);
    EXPECT_EQ(third.outputPath, out("C.it"));
}

// A source whose size is given, not stored: offsets and lengths beyond 32 bits pass through.
class SizedInput : public InputFile {
public:
    explicit SizedInput(std::uint64_t size) : m_size(size) {}
    std::int64_t readAt(std::uint64_t, std::span<std::uint8_t>, std::string&) override { return 0; }
    bool size(std::uint64_t& size, std::string&) override {
        size = m_size;
        return true;
    }

private:
    std::uint64_t m_size;
};

class RecordingOutput : public OutputFile {};

class RecordingFileSystem : public test::FaultyFileSystem {
public:
    std::uint64_t copiedOffset = 0, copiedLength = 0;
    bool isSameFile(const std::string&, InputFile&) override { return false; }
    std::unique_ptr<OutputFile> createTemporary(const std::string&, std::string&) override {
        return std::make_unique<RecordingOutput>();
    }
    bool publish(OutputFile&, const std::string&, std::string&) override { return true; }
    bool copy(InputFile&, std::uint64_t offset, std::uint64_t length, OutputFile&, std::string&) override {
        copiedOffset = offset;
        copiedLength = length;
        return true;
    }
};

TEST(ModuleWriterLargeFiles, ContainersOver4GiBKeepFullLengths) {
    RecordingFileSystem disk;
    SizedInput source(std::uint64_t{5} << 30);
    const LocateResult located{true, ModuleKind::S3M, 200};
    const WriteResult r = ModuleWriter(disk).write(source, {located.kind, located.start, std::nullopt, "Big"},
                                                   "Big.vnr", NamingRule::Original, "/dest", NameClash::MoveAside);
    ASSERT_TRUE(r.written) << r.reason;
    EXPECT_EQ(disk.copiedOffset, 200u);
    EXPECT_EQ(disk.copiedLength, (std::uint64_t{5} << 30) - 200);
}

} // namespace
} // namespace zendrow
