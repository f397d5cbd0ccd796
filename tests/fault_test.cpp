// Real faults of a disk and of sources that change under the run: nothing is lost, and each one
// is reported as a failed file with its reason.
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "engine/conversion_run.h"
#include "engine/output_naming.h"
#include "tests/support/fake_run_host.h"
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

using test::FakeHost;

class FaultTest : public testing::Test {
protected:
    void SetUp() override {
        host.listFolder = m_dir / "src";
        host.dest = m_dir / "dest";
        fs::create_directory(host.listFolder);
        fs::create_directory(host.dest);
    }
    void add(const std::string& name, const Bytes& bytes) {
        writeFile(host.listFolder + "/" + name, bytes);
        host.items.push_back(name);
        host.selected.push_back(true);
    }
    std::string out(const std::string& name) const { return joinPath(host.dest, name); }

    test::TempDir m_dir;
    test::FaultyFileSystem disk;
    FakeHost host;
};

#ifndef _WIN32 // no fork or file-size limit there; the file seam's short write covers it
TEST_F(FaultTest, FileSizeLimitStopsAWritePartWay) {
    // A real short write: the child may not write files over 64 KiB, as on a full disk.
    const Bytes big = test::itModule("Big", Bytes(200000, 'b'));
    add("big.vnr", big);
    add("small.vnr", test::itModule("Small"));
    writeFile(out("Big.it"), "earlier");

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead of killing the process
        const rlimit limit{65536, 65536};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        DiskFileSystem realDisk;
        const RunReport report = runConversion(host, realDisk);
        const bool asExpected = report.counts.converted == 1 && report.counts.failed == 1 &&
                                report.failures[0].itemName == "big.vnr" &&
                                report.failures[0].reason.find("File too large") != std::string::npos;
        ::_exit(asExpected ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the run was killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the failure was not reported as expected";
    EXPECT_EQ(readFile(out("Big.it")), "earlier");
    EXPECT_FALSE(fs::exists(out("Big.it.old")));
    EXPECT_EQ(readFile(out("Small.it")), test::itModule("Small"));
}
#endif

TEST_F(FaultTest, SourcesChangedBetweenListingAndRun) {
    add("deleted.vnr", test::itModule("Deleted"));
    add("emptied.vnr", test::itModule("Emptied"));
    add("replaced.vnr", test::itModule("Old"));
    fs::remove(host.listFolder + "/deleted.vnr");
    writeFile(host.listFolder + "/emptied.vnr", "");
    writeFile(host.listFolder + "/replaced.vnr", test::itModule("New"));

    const RunReport report = runConversion(host, disk);
    ASSERT_EQ(host.results.size(), 3u);
    EXPECT_EQ(host.results[0].outcome, FileResult::Outcome::Failed);
    EXPECT_EQ(host.results[0].reason, "cannot open: " + test::faultText(test::Fault::NoSuchFile));
    EXPECT_EQ(host.results[1].outcome, FileResult::Outcome::Skipped);
    EXPECT_EQ(readFile(out("New.it")), test::itModule("New"));
    EXPECT_EQ(report.counts.converted, 1);
}

#ifdef _WIN32
TEST_F(FaultTest, SourceCannotShrinkWhileTheRunHoldsIt) {
    // Windows opens the source for others' reading only: the cut is refused and the copy is whole.
    const Bytes module = test::itModule("Shrinks", Bytes(100000, 's'));
    add("a.vnr", test::container(20, module));
    std::error_code refused;
    disk.beforeCopy = [&] { fs::resize_file(host.listFolder + "/a.vnr", 5000, refused); };
    const RunReport report = runConversion(host, disk);
    EXPECT_TRUE(refused);
    EXPECT_EQ(report.counts.converted, 1);
    EXPECT_EQ(readFile(out("Shrinks.it")), module);
}
#else
TEST_F(FaultTest, SourceShrinkingDuringTheCopyFailsWithoutAPartialOutput) {
    const Bytes module = test::itModule("Shrinks", Bytes(100000, 's'));
    add("a.vnr", test::container(20, module));
    disk.beforeCopy = [&] { fs::resize_file(host.listFolder + "/a.vnr", 5000); };
    const RunReport report = runConversion(host, disk);
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_NE(report.failures[0].reason.find("ended early"), std::string::npos) << report.failures[0].reason;
    EXPECT_TRUE(fs::is_empty(host.dest));
}
#endif

TEST_F(FaultTest, SourceGrowingDuringTheCopyGivesTheModuleAsItWasMeasured) {
    const Bytes module = test::itModule("Grows", Bytes(100000, 'g'));
    add("a.vnr", test::container(20, module));
    disk.beforeCopy = [&] {
        std::ofstream(host.listFolder + "/a.vnr", std::ios::binary | std::ios::app) << "appended later";
    };
    const RunReport report = runConversion(host, disk);
    EXPECT_EQ(report.counts.converted, 1);
    EXPECT_EQ(readFile(out("Grows.it")), module);
}

TEST_F(FaultTest, DestinationRemovedDuringTheRun) {
    add("a.vnr", test::itModule("Alpha"));
    add("b.vnr", test::itModule("Beta"));
    add("c.vnr", test::itModule("Gamma"));
    host.onFileDone = [](FakeHost& h) {
        if (h.results.size() == 1)
            fs::remove_all(h.dest);
    };
    const RunReport report = runConversion(host, disk);
    EXPECT_EQ(report.counts.converted, 1);
    EXPECT_EQ(report.counts.failed, 2);
    EXPECT_NE(report.summary().find("2 file(s) failed:\nb.vnr: cannot create a file in \"" + host.dest +
                                    "\": " + test::faultText(test::Fault::NoSuchFolder)),
              std::string::npos)
        << report.summary();
    EXPECT_FALSE(fs::exists(host.dest)) << "the run must not make the folder again behind the user's back";
}

#ifndef _WIN32
// Runs check in a child process without root's power to ignore permissions (root becomes "nobody"
// there), so that folders and files the user may not touch really refuse. True when check held.
bool holdsWithoutPrivileges(const test::TempDir& dir, const std::function<bool()>& check) {
    // The child must reach the test's folder, which only its owner may enter.
    fs::permissions(dir.path(), fs::perms::all, fs::perm_options::add);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(FaultTest, PermissionsRefused) {
    // A destination the user may not write to, and a source the user may not read.
    for (fs::path p = m_dir.path().parent_path(); p != p.root_path(); p = p.parent_path())
        if ((fs::status(p).permissions() & fs::perms::others_exec) == fs::perms::none)
            GTEST_SKIP() << "another user cannot reach the temporary folder " << p;
    add("a.vnr", test::itModule("Alpha"));
    add("secret.vnr", test::itModule("Secret"));
    fs::permissions(host.listFolder, fs::perms::all, fs::perm_options::add);
    fs::permissions(host.listFolder + "/a.vnr", fs::perms::all, fs::perm_options::add);
    fs::permissions(host.listFolder + "/secret.vnr", fs::perms::none);
    fs::permissions(host.dest,
                    fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read | fs::perms::others_exec);
    const bool reported = holdsWithoutPrivileges(m_dir, [&] {
        DiskFileSystem realDisk;
        const RunReport report = runConversion(host, realDisk);
        return report.counts.failed == 2 && report.failures.size() == 2 &&
               report.failures[0].reason.starts_with("cannot create") &&
               report.failures[0].reason.ends_with("Permission denied") &&
               report.failures[1].reason == "cannot open: Permission denied";
    });
    EXPECT_TRUE(reported) << "both files must fail with \"Permission denied\"";
    EXPECT_TRUE(fs::is_empty(host.dest));
}
#endif

} // namespace
} // namespace zendrow
