#include "app/command_line.h"

#include <cstdio>
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>
#include <sys/wait.h>

#include "engine/file_system.h"
#include "tests/support/fixtures.h"
#include "tests/support/temp_dir.h"

namespace zendrow {
namespace {

using test::readFile;
using test::writeFile;
namespace fs = std::filesystem;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

class CommandLineTest : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(m_dir / "in");
        fs::create_directory(m_dir / "out");
        writeFile(m_dir / "in/b.vnr", test::container(33, test::itModule("Beta")));
        writeFile(m_dir / "in/A.VNR", test::container(60, test::s3mModule("Alpha")));
        writeFile(m_dir / "in/c.vnr", "nothing");
        writeFile(m_dir / "in/d.dat", test::itModule("Delta"));
    }

    Outcome run(std::vector<std::string> args) {
        args.insert(args.begin(), "zendrow-cli");
        std::vector<const char*> argv;
        for (const auto& a : args)
            argv.push_back(a.c_str());
        std::ostringstream out, err;
        DiskFileSystem disk;
        const int status = runCommandLine(static_cast<int>(argv.size()), argv.data(), out, err, disk);
        return {status, out.str(), err.str()};
    }

    std::string in(const std::string& name) const { return m_dir / ("in/" + name); }
    std::string out(const std::string& name) const { return m_dir / ("out/" + name); }

    test::TempDir m_dir;
};

TEST_F(CommandLineTest, FolderGivesItsMatchingFilesInListOrder) {
    const Outcome r = run({"--dest", m_dir / "out", m_dir / "in"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "converted  " + in("A.VNR") + " -> " + out("Alpha.s3m") + "\n" +
                         "converted  " + in("b.vnr") + " -> " + out("Beta.it") + "\n" +
                         "skipped    " + in("c.vnr") + " (no module)\n" +
                         "2 file(s) converted succesfully,\n1 file(s) skipped.\n");
    EXPECT_EQ(readFile(out("Beta.it")), test::itModule("Beta"));
    EXPECT_EQ(readFile(out("Alpha.s3m")), test::s3mModule("Alpha"));
    EXPECT_FALSE(fs::exists(out("Delta.it")));
}

TEST_F(CommandLineTest, FilesInTheOrderGivenWithMaskAndSourceNames) {
    const Outcome r =
        run({"--quiet", "--names", "source", "--mask", "*.DAT", "--dest", m_dir / "out", in("b.vnr"), m_dir / "in"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "2 file(s) converted succesfully,\n0 file(s) skipped.\n");
    EXPECT_TRUE(fs::exists(out("b.it")));
    EXPECT_TRUE(fs::exists(out("d.it")));
}

TEST_F(CommandLineTest, MissingPathFailsAndTheRestGoOn) {
    const Outcome r = run({"--quiet", "--dest", m_dir / "out", in("nope.vnr"), in("b.vnr")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "failed     " + in("nope.vnr") + ": cannot open: No such file or directory\n"
                     "1 file(s) converted succesfully,\n0 file(s) skipped.\n1 file(s) failed:\n"
                     "nope.vnr: cannot open: No such file or directory\n");
    EXPECT_TRUE(fs::exists(out("Beta.it")));
}

TEST_F(CommandLineTest, Destination) {
    // A missing destination is an error unless --create-dest is given, which makes its parents too.
    const std::string deep = m_dir / "x/y/z";
    const Outcome missing = run({"--dest", deep, in("b.vnr")});
    EXPECT_EQ(missing.status, 2);
    EXPECT_TRUE(missing.err.starts_with("zendrow-cli: ")) << missing.err;
    EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1);
    EXPECT_FALSE(fs::exists(m_dir / "x"));

    const Outcome created = run({"--create-dest", "--dest", deep, in("b.vnr")});
    EXPECT_EQ(created.status, 0) << created.err;
    EXPECT_TRUE(fs::exists(deep + "/Beta.it"));

    const Outcome notAFolder = run({"--dest", in("c.vnr"), in("b.vnr")});
    EXPECT_EQ(notAFolder.status, 2);
    EXPECT_EQ(readFile(in("c.vnr")), "nothing");
}

TEST_F(CommandLineTest, UsageErrors) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"--names", "title", in("b.vnr")}, {"--bogus", in("b.vnr")}, {"--dest"}}) {
        const Outcome r = run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(r.err.starts_with("zendrow-cli: ")) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(CommandLineTest, HelpAndVersion) {
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--create-dest"), std::string::npos);
    const Outcome version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("zendrow-cli ") + ZENDROW_VERSION + "\n");
}

// The installed program itself: exit status and the streams as a shell sees them.
TEST_F(CommandLineTest, ProgramEndToEnd) {
    const std::string command = std::string(ZENDROW_CLI_PATH) + " --dest '" + (m_dir / "out") + "' '" +
                                (m_dir / "in") + "' '" + in("missing.vnr") + "' 2>'" + (m_dir / "err") + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, n);
    const int status = ::pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(output.find("2 file(s) converted succesfully,\n1 file(s) skipped.\n1 file(s) failed:\n"),
              std::string::npos)
        << output;
    EXPECT_EQ(readFile(m_dir / "err"), "");
    EXPECT_EQ(readFile(out("Beta.it")), test::itModule("Beta"));
}

} // namespace
} // namespace zendrow
