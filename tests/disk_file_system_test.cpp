// The real disk layer: temporaries that no final name leads to until they are published whole,
// sources that are regular files only, and holes that stay holes.
#include "engine/file_system.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include "engine/chunked_copy.h"
#include "engine/output_naming.h"
#include "engine/utf8_path.h"
#include "tests/support/fixtures.h"
#include "tests/support/temp_dir.h"

namespace zendrow {
namespace {

using test::Bytes;
using test::readFile;
using test::writeFile;
namespace fs = std::filesystem;

std::vector<std::string> listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Each case runs with unnamed temporaries where the system has them, and with named hidden ones.
class TemporaryTest : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        writeFile(m_dir / "source", m_module);
        std::string error;
        m_source = m_disk.openForReading(m_dir / "source", error);
        ASSERT_TRUE(m_source) << error;
        m_dest = m_dir / "dest";
        fs::create_directory(m_dest);
    }

    std::unique_ptr<OutputFile> written() {
        std::string error;
        std::unique_ptr<OutputFile> file = m_disk.createTemporary(m_dest, error);
        EXPECT_TRUE(file) << error;
        if (file) {
            EXPECT_TRUE(m_disk.copy(*m_source, 0, m_module.size(), *file, error)) << error;
        }
        return file;
    }

    test::TempDir m_dir;
    DiskFileSystem m_disk{GetParam()};
    const Bytes m_module = test::itModule("Song", Bytes(300000, 'm'));
    std::unique_ptr<InputFile> m_source;
    std::string m_dest;
};

TEST_P(TemporaryTest, NoFinalNameBeforePublishingAndNothingLeftWhenDropped) {
    std::unique_ptr<OutputFile> file = written();
    for (const std::string& name : listing(m_dest))
        EXPECT_TRUE(isTemporaryName(name)) << name;
    file.reset();
    EXPECT_EQ(listing(m_dest), std::vector<std::string>{});
}

TEST_P(TemporaryTest, PublishingNeverReplacesAndMayTryAnotherName) {
    writeFile(joinPath(m_dest, "Song.it"), "earlier");
    std::unique_ptr<OutputFile> file = written();
    std::string error;
    EXPECT_FALSE(m_disk.publish(*file, joinPath(m_dest, "Song.it"), error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(readFile(joinPath(m_dest, "Song.it")), "earlier");
    ASSERT_TRUE(m_disk.publish(*file, joinPath(m_dest, "Other.it"), error)) << error;
    file.reset(); // a published file stays when its temporary's handle goes
    EXPECT_EQ(listing(m_dest), (std::vector<std::string>{"Other.it", "Song.it"}));
    EXPECT_EQ(readFile(joinPath(m_dest, "Other.it")), m_module);
}

#ifdef _WIN32
TEST_P(TemporaryTest, HiddenUntilPublished) {
    std::unique_ptr<OutputFile> file = written();
    const std::vector<std::string> names = listing(m_dest);
    ASSERT_EQ(names.size(), 1u);
    const auto attributes = [](const std::string& path) { return ::GetFileAttributesW(pathFromUtf8(path).c_str()); };
    EXPECT_TRUE(attributes(joinPath(m_dest, names[0])) & FILE_ATTRIBUTE_HIDDEN);
    std::string error;
    ASSERT_TRUE(m_disk.publish(*file, joinPath(m_dest, "Song.it"), error)) << error;
    EXPECT_FALSE(attributes(joinPath(m_dest, "Song.it")) & FILE_ATTRIBUTE_HIDDEN);
}

TEST(RegularFiles, ADeviceIsRefused) {
    DiskFileSystem disk;
    std::string error;
    EXPECT_FALSE(disk.openForReading("NUL", error));
    EXPECT_EQ(error, kNotARegularFile);
}
#endif

INSTANTIATE_TEST_SUITE_P(Kinds, TemporaryTest, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Unnamed" : "Named"; });

TEST(StaleTemporaries, OursOlderThanADayGoWhenTheFolderIsNextUsed) {
    test::TempDir dir;
    const auto dayAndMore = std::chrono::hours(25);
    struct Case {
        const char* name;
        bool old;
        bool removed;
    } cases[] = {
        {".zendrow-a1B2c3.tmp", true, true},   // ours, stale
        {".zendrow-d4E5f6.tmp", false, false}, // ours, another run may be writing it
        {".zendrow-abc.tmp", true, false},     // not our form
        {"zendrow-a1B2c3.tmp", true, false},   // not hidden: not ours
        {".zendrow-a1B2c3.it", true, false},
    };
    for (const Case& c : cases) {
        writeFile(dir / c.name, "x");
        if (c.old)
            fs::last_write_time(dir / c.name, fs::file_time_type::clock::now() - dayAndMore);
    }
    DiskFileSystem disk(false);
    std::string error;
    ASSERT_TRUE(disk.createTemporary(dir.str(), error)) << error;
    for (const Case& c : cases)
        EXPECT_EQ(fs::exists(dir / c.name), !c.removed) << c.name;
}

#ifndef _WIN32
// Things with a path that are not files of known length: none may be read, and none may hang the run.
struct NotAFileCase {
    const char* description;
    std::function<std::string(const test::TempDir&)> make; ///< makes it and gives its path, "" to skip
};

class NotARegularFileTest : public testing::TestWithParam<NotAFileCase> {};

TEST_P(NotARegularFileTest, IsRefusedAtOnce) {
    test::TempDir dir;
    const std::string path = GetParam().make(dir);
    if (path.empty())
        GTEST_SKIP() << "not on this system";
    DiskFileSystem disk;
    std::string error;
    EXPECT_FALSE(disk.openForReading(path, error));
    EXPECT_EQ(error, kNotARegularFile);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, NotARegularFileTest,
    testing::Values(NotAFileCase{"Fifo",
                                 [](const test::TempDir& dir) {
                                     const std::string path = dir / "f.vnr";
                                     return ::mkfifo(path.c_str(), 0600) == 0 ? path : std::string();
                                 }},
                    NotAFileCase{"Socket",
                                 [](const test::TempDir& dir) {
                                     const std::string path = dir / "s.vnr";
                                     sockaddr_un address{};
                                     address.sun_family = AF_UNIX;
                                     if (path.size() >= sizeof address.sun_path)
                                         return std::string();
                                     path.copy(address.sun_path, path.size());
                                     const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
                                     const bool bound = ::bind(s, reinterpret_cast<sockaddr*>(&address),
                                                               sizeof address) == 0;
                                     ::close(s); // the socket's file stays
                                     return bound ? path : std::string();
                                 }},
                    NotAFileCase{"CharacterDevice", [](const test::TempDir&) { return std::string("/dev/null"); }},
                    NotAFileCase{"ProcFileOfUnknownLength",
                                 [](const test::TempDir&) {
                                     return fs::exists("/proc/self/environ") ? std::string("/proc/self/environ")
                                                                             : std::string();
                                 }}),
    [](const testing::TestParamInfo<NotAFileCase>& info) { return info.param.description; });

TEST(RegularFiles, AnEmptyFileIsStillAFile) {
    test::TempDir dir;
    writeFile(dir / "empty.vnr", "");
    DiskFileSystem disk;
    std::string error;
    EXPECT_TRUE(disk.openForReading(dir / "empty.vnr", error)) << error;
}

// A source of mostly holes, with data at odd places: the copy holds the same bytes and its holes.
TEST(SparseCopy, HolesStayHoles) {
    test::TempDir dir;
    const std::string source = dir / "sparse.vnr";
    constexpr std::uint64_t kSize = 32ull << 20, kMiddle = (12ull << 20) + 123, kStart = 5000;
    const Bytes head = test::container(kStart, test::itModule("Sparse", "head"));
    const Bytes middle(70000, 'd');
    {
        writeFile(source, head);
        fs::resize_file(source, kSize);
        std::FILE* f = std::fopen(source.c_str(), "r+b");
        ASSERT_TRUE(f);
        std::fseek(f, static_cast<long>(kMiddle), SEEK_SET);
        std::fwrite(middle.data(), 1, middle.size(), f);
        std::fclose(f);
    }
    struct stat sourceStat {};
    ASSERT_EQ(::stat(source.c_str(), &sourceStat), 0);
    if (static_cast<std::uint64_t>(sourceStat.st_blocks) * 512 > kSize / 2)
        GTEST_SKIP() << "this file system keeps no holes";

    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed temporary" : "named temporary");
        DiskFileSystem disk(unnamed);
        std::string error;
        auto in = disk.openForReading(source, error);
        ASSERT_TRUE(in) << error;
        auto out = disk.createTemporary(dir.str(), error);
        ASSERT_TRUE(out) << error;
        ASSERT_TRUE(disk.copy(*in, kStart, kSize - kStart, *out, error)) << error;
        const std::string output = dir / (unnamed ? "a.it" : "b.it");
        ASSERT_TRUE(disk.publish(*out, output, error)) << error;
        out.reset();

        struct stat outputStat {};
        ASSERT_EQ(::stat(output.c_str(), &outputStat), 0);
        EXPECT_EQ(static_cast<std::uint64_t>(outputStat.st_size), kSize - kStart);
        EXPECT_LE(outputStat.st_blocks, sourceStat.st_blocks) << "the holes were filled in";
        EXPECT_TRUE(readFile(output) == readFile(source).substr(kStart)) << "the bytes differ";
    }
}

TEST(SparseCopy, ASourceCutShortInItsTrailingHoleFails) {
    test::TempDir dir;
    const std::string source = dir / "sparse.vnr";
    writeFile(source, test::itModule("Sparse"));
    fs::resize_file(source, 1 << 20);
    DiskFileSystem disk;
    std::string error;
    auto in = disk.openForReading(source, error);
    ASSERT_TRUE(in) << error;
    auto out = disk.createTemporary(dir.str(), error);
    ASSERT_TRUE(out) << error;
    fs::resize_file(source, 1000);
    EXPECT_FALSE(disk.copy(*in, 0, 1 << 20, *out, error));
    EXPECT_EQ(error, kSourceEndedEarly);
}
#endif

} // namespace
} // namespace zendrow
