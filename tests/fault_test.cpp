// Real faults of a disk and of sources that change under the run: nothing is lost, and each one
// is reported as a failed file with its reason.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "engine/conversion_run.h"
#include "engine/file_system.h"
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

using test::FakeRun;

class FaultTest : public testing::Test {
protected:
    void SetUp() override {
        frontEnd.listFolder = m_dir / "src";
        frontEnd.current.destination = m_dir / "dest";
        fs::create_directory(frontEnd.listFolder);
        fs::create_directory(frontEnd.current.destination);
    }
    void add(const std::string& name, const Bytes& bytes) {
        writeFile(frontEnd.listFolder + "/" + name, bytes);
        frontEnd.items.push_back(name);
        frontEnd.selected.push_back(true);
    }
    std::string out(const std::string& name) const { return joinPath(frontEnd.current.destination, name); }

    test::TempDir m_dir;
    test::FaultyFileSystem disk;
    FakeRun frontEnd;
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
        const RunReport report = frontEnd.run(realDisk);
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

// Two runs into one destination with the same titles: run "first" is part-way through a module when
// run "second" writes the same name. Each run is a front end over its own source folder.
class OverlappingRunsTest : public FaultTest {
protected:
    void SetUp() override {
        FaultTest::SetUp();
        other.listFolder = m_dir / "src2";
        other.current.destination = frontEnd.current.destination;
        fs::create_directory(other.listFolder);
        add("a.vnr", firstModule);
        writeFile(other.listFolder + "/b.vnr", secondModule);
        other.items = {"b.vnr"};
        other.selected = {true};
    }

    // The second run starts and ends while the first is copying.
    void runSecondDuringTheFirstsCopy() {
        disk.beforeCopy = [this] {
            disk.beforeCopy = nullptr;
            test::FaultyFileSystem otherDisk;
            other.run(otherDisk);
        };
    }

    FakeRun other;
    const Bytes firstModule = test::itModule("T", Bytes(100000, '1'));
    const Bytes secondModule = test::itModule("T", Bytes(100000, '2'));
};

TEST_F(OverlappingRunsTest, AFailedWriteLeavesTheOtherRunsFinishedOutput) {
    runSecondDuringTheFirstsCopy();
    disk.failCopyAfter = 50000;
    const RunReport report = frontEnd.run(disk);
    EXPECT_EQ(report.counts.failed, 1);
    ASSERT_EQ(other.results.size(), 1u);
    EXPECT_EQ(other.results[0].outputPath, out("T.it"));
    EXPECT_EQ(readFile(out("T.it")), secondModule);
    EXPECT_EQ(fs::directory_iterator(frontEnd.current.destination)->path().filename(), "T.it");
    EXPECT_EQ(std::distance(fs::directory_iterator(frontEnd.current.destination), fs::directory_iterator()), 1);
}

TEST_F(OverlappingRunsTest, EachConvertedLineNamesTheFileThatHoldsItsModule) {
    runSecondDuringTheFirstsCopy();
    // What each reported path holds at the moment its line would be printed.
    std::string heldForFirst, heldForSecond;
    frontEnd.onFileDone = [&](FakeRun& h) { heldForFirst = readFile(h.results.back().outputPath); };
    other.onFileDone = [&](FakeRun& h) { heldForSecond = readFile(h.results.back().outputPath); };
    const RunReport report = frontEnd.run(disk);
    EXPECT_EQ(report.counts.converted, 1);
    EXPECT_TRUE(heldForFirst == firstModule) << "the first run's line names a file with another module";
    EXPECT_TRUE(heldForSecond == secondModule) << "the second run's line names a file with another module";
    // The second run's output was in the way when the first published: moved aside, whole.
    EXPECT_EQ(readFile(out("T.it.old")), secondModule);
}

TEST_F(OverlappingRunsTest, ANameTakenAtTheLastMomentSendsTheModuleToTheSourceName) {
    writeFile(out("T.it"), "the user's");
    // Another program creates the name again just after the file in the way was moved aside.
    disk.beforePublish = [this](const std::string& path) {
        if (path == out("T.it") && !fs::exists(path))
            writeFile(path, "someone else's");
    };
    const RunReport report = frontEnd.run(disk);
    ASSERT_EQ(frontEnd.results.size(), 1u);
    EXPECT_EQ(frontEnd.results[0].outputPath, out("a.it")) << frontEnd.results[0].reason;
    EXPECT_EQ(readFile(out("T.it")), "someone else's");
    EXPECT_EQ(readFile(out("T.it.old")), "the user's");
    EXPECT_EQ(readFile(out("a.it")), firstModule);
}

// A file in the way that is a source of this run stays where the run will read it.
TEST_F(FaultTest, ASourceOfTheRunIsNeverMovedAside) {
    frontEnd.current.destination = frontEnd.listFolder;
    add("1.vnr", test::itModule("Song", "from 1.vnr"));
    add("Song.it", test::itModule("Other", "the source Song.it"));
    add("2.vnr", test::itModule("Song", "from 2.vnr"));
    add("3.vnr", test::itModule("Song", "from 3.vnr"));
    writeFile(frontEnd.listFolder + "/3.it", "in the way of 3.vnr's fallback");
    const RunReport report = frontEnd.run(disk);
    ASSERT_EQ(frontEnd.results.size(), 4u);
    EXPECT_EQ(frontEnd.results[0].outputPath, out("1.it"));
    EXPECT_EQ(frontEnd.results[1].outputPath, out("Other.it"));
    EXPECT_EQ(frontEnd.results[2].outputPath, out("2.it"));
    EXPECT_EQ(frontEnd.results[3].outcome, FileResult::Outcome::Converted) << frontEnd.results[3].reason;
    EXPECT_EQ(frontEnd.results[3].outputPath, out("3.it"));
    EXPECT_EQ(readFile(out("Song.it")), test::itModule("Other", "the source Song.it"));
    EXPECT_EQ(readFile(out("Other.it")), test::itModule("Other", "the source Song.it"));
    EXPECT_EQ(readFile(out("3.it.old")), "in the way of 3.vnr's fallback");
    EXPECT_EQ(report.counts.converted, 4);
}

TEST_F(FaultTest, ASourceInTheWayOfEveryNameFailsTheModule) {
    frontEnd.current.destination = frontEnd.listFolder;
    add("1.vnr", test::itModule("Song", "from 1.vnr"));
    add("Song.it", test::itModule("Other", "the source Song.it"));
    add("1.it", test::itModule("", "the source 1.it"));
    const RunReport report = frontEnd.run(disk);
    ASSERT_EQ(frontEnd.results.size(), 3u);
    EXPECT_EQ(frontEnd.results[0].outcome, FileResult::Outcome::Failed);
    EXPECT_EQ(frontEnd.results[0].reason, "\"" + out("1.it") + "\" is one of the files being converted");
    EXPECT_EQ(readFile(out("Song.it")), test::itModule("Other", "the source Song.it"));
    EXPECT_EQ(readFile(out("1.it")), test::itModule("", "the source 1.it"));
    EXPECT_EQ(report.counts.converted, 1); // Song.it gives Other.it; 1.it is its own source
}

// The real disk, and a process that is killed (as by a signal, a crash or a closed terminal) once
// half of the module is written.
class KilledMidCopy : public test::FaultyFileSystem {
public:
    KilledMidCopy(bool unnamedTemporaries, std::string reached)
        : FaultyFileSystem(unnamedTemporaries), m_reached(std::move(reached)) {}
    bool copy(InputFile& from, std::uint64_t offset, std::uint64_t length, OutputFile& to,
              std::string& error) override {
        FaultyFileSystem::copy(from, offset, length / 2, to, error);
        writeFile(m_reached, ""); // tells the test that this run wrote where it looks
#ifdef _WIN32
        ::TerminateProcess(::GetCurrentProcess(), 9);
#else
        ::raise(SIGKILL);
#endif
        return false;
    }

private:
    std::string m_reached;
};

class KillTest : public FaultTest, public testing::WithParamInterface<bool> {};

TEST_P(KillTest, LeavesNoPartialOutputAndTheFileInTheWayInPlace) {
    add("h.vnr", test::itModule("Huge", Bytes(4 << 20, 'h')));
    writeFile(out("Huge.it"), "the user's");
    // The dying run may be a fresh start of this program (on Windows it always is) that has come
    // this far with folders of its own: it is told where this test's folders are.
    const bool dyingRun = !GTEST_FLAG_GET(internal_run_death_test).empty();
#ifdef _WIN32
    if (!dyingRun)
        ::_putenv_s("ZENDROW_KILL_TEST_DIR", m_dir.str().c_str());
    const auto killed = testing::ExitedWithCode(9);
#else
    if (!dyingRun)
        ::setenv("ZENDROW_KILL_TEST_DIR", m_dir.str().c_str(), 1);
    const auto killed = testing::KilledBySignal(SIGKILL);
#endif
    EXPECT_EXIT(
        {
            const std::string root = std::getenv("ZENDROW_KILL_TEST_DIR");
            FakeRun dyingRun;
            dyingRun.listFolder = joinPath(root, "src");
            dyingRun.current.destination = joinPath(root, "dest");
            dyingRun.items = {"h.vnr"};
            dyingRun.selected = {true};
            KilledMidCopy dying(GetParam(), joinPath(root, "reached"));
            dyingRun.run(dying);
        },
        killed, "");
    ASSERT_TRUE(fs::exists(m_dir / "reached")) << "the run did not get half-way";
    EXPECT_EQ(readFile(out("Huge.it")), "the user's");
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(frontEnd.current.destination))
        if (const std::string name = entry.path().filename().string(); name != "Huge.it")
            left.push_back(name);
#ifdef _WIN32
    EXPECT_EQ(left, std::vector<std::string>{}) << "the temporary was not deleted when its handle closed";
#else
    // At most the temporary, under a hidden name of ours that a later run clears.
    EXPECT_LE(left.size(), GetParam() ? 0u : 1u);
#endif
    for (const std::string& name : left)
        EXPECT_TRUE(isTemporaryName(name)) << name;
}

INSTANTIATE_TEST_SUITE_P(Temporaries, KillTest, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Unnamed" : "Named"; });

#ifndef _WIN32
// A run stopped by the file-size limit while another run publishes the same name: the failed run's
// clean-up takes its own temporary only, not the other run's finished output.
TEST_F(FaultTest, FailedRunLeavesAnotherRunsOutputOnTheRealDisk) {
    const Bytes failing = test::itModule("T", Bytes(200000, '1'));
    const Bytes finished = test::itModule("T", Bytes(1000, '2'));
    add("a.vnr", failing);
    int toParent[2], toChild[2];
    ASSERT_EQ(::pipe(toParent), 0);
    ASSERT_EQ(::pipe(toChild), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{65536, 65536};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        test::FaultyFileSystem realDisk;
        realDisk.beforeCopy = [&] { // let the other run go, and wait until it is done
            char go = 0;
            if (::write(toParent[1], "c", 1) != 1 || ::read(toChild[0], &go, 1) != 1)
                ::_exit(3);
        };
        const RunReport report = frontEnd.run(realDisk);
        ::_exit(report.counts.failed == 1 ? 0 : 1);
    }
    char copying = 0;
    ASSERT_EQ(::read(toParent[0], &copying, 1), 1);
    FakeRun other = frontEnd;
    other.listFolder = m_dir / "src2";
    fs::create_directory(other.listFolder);
    writeFile(other.listFolder + "/a.vnr", finished);
    other.results.clear();
    DiskFileSystem realDisk;
    other.run(realDisk);
    ASSERT_EQ(::write(toChild[1], "g", 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the first run did not fail as expected";
    ASSERT_EQ(other.results.size(), 1u);
    EXPECT_EQ(other.results[0].outputPath, out("T.it"));
    EXPECT_EQ(readFile(out("T.it")), finished);
    EXPECT_FALSE(fs::exists(out("T.it.old")));
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]})
        ::close(fd);
}

// Two processes convert modules with the same titles into one folder at once, while this one
// watches the folder: no final name ever shows a partial module, and each converted file, when it
// is reported, holds its module (or, if the other run has since moved it aside, its ".old" does).
TEST_F(FaultTest, TwoRunsRacingOnTheSameNames) {
    constexpr int kTitles = 24;
    constexpr std::size_t kBody = 1 << 20;
    const auto module = [&](int title, char run) {
        return test::itModule("t" + std::to_string(title), Bytes(kBody, run));
    };
    const std::size_t moduleSize = module(0, 'a').size();
    const auto makeRun = [&](char run) {
        FakeRun h;
        h.listFolder = m_dir / std::string("src-") + run;
        h.current.destination = frontEnd.current.destination;
        fs::create_directory(h.listFolder);
        for (int title = 0; title < kTitles; ++title) {
            const std::string name = std::string(1, run) + std::to_string(title) + ".vnr";
            writeFile(h.listFolder + "/" + name, module(title, run));
            h.items.push_back(name);
            h.selected.push_back(true);
        }
        return h;
    };
    std::vector<pid_t> children;
    for (const char run : {'a', 'b'}) {
        FakeRun h = makeRun(run);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            bool held = true;
            h.onFileDone = [&](FakeRun& self) {
                const FileResult& r = self.results.back();
                const int title = std::stoi(r.itemName.substr(1));
                const Bytes mine = module(title, run);
                if (r.outcome != FileResult::Outcome::Converted ||
                    (readFile(r.outputPath) != mine && readFile(r.outputPath + ".old") != mine))
                    held = false;
            };
            DiskFileSystem realDisk;
            h.run(realDisk);
            ::_exit(held ? 0 : 1);
        }
        children.push_back(child);
    }
    std::vector<std::string> partial;
    for (int running = 2; running > 0;) {
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(frontEnd.current.destination, ignored)) {
            const std::string name = entry.path().filename().string();
            std::error_code gone;
            const auto size = fs::file_size(entry.path(), gone);
            if (!gone && size != moduleSize && !isTemporaryName(name))
                partial.push_back(name + " (" + std::to_string(size) + " bytes)");
        }
        running = 0;
        for (pid_t& child : children) {
            int status = 0;
            if (child > 0 && ::waitpid(child, &status, WNOHANG) == child) {
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
                    << "a converted line named a file that held another module";
                child = 0;
            }
            running += child > 0;
        }
    }
    EXPECT_EQ(partial, std::vector<std::string>{}) << "partial modules were seen under final names";
}
#endif

TEST_F(FaultTest, SourcesChangedBetweenListingAndRun) {
    add("deleted.vnr", test::itModule("Deleted"));
    add("emptied.vnr", test::itModule("Emptied"));
    add("replaced.vnr", test::itModule("Old"));
    fs::remove(frontEnd.listFolder + "/deleted.vnr");
    writeFile(frontEnd.listFolder + "/emptied.vnr", "");
    writeFile(frontEnd.listFolder + "/replaced.vnr", test::itModule("New"));

    const RunReport report = frontEnd.run(disk);
    ASSERT_EQ(frontEnd.results.size(), 3u);
    EXPECT_EQ(frontEnd.results[0].outcome, FileResult::Outcome::Failed);
    EXPECT_EQ(frontEnd.results[0].reason, "cannot open: " + test::faultText(test::Fault::NoSuchFile));
    EXPECT_EQ(frontEnd.results[1].outcome, FileResult::Outcome::Skipped);
    EXPECT_EQ(readFile(out("New.it")), test::itModule("New"));
    EXPECT_EQ(report.counts.converted, 1);
}

#ifdef _WIN32
TEST_F(FaultTest, SourceCannotShrinkWhileTheRunHoldsIt) {
    // Windows opens the source for others' reading only: the cut is refused and the copy is whole.
    const Bytes module = test::itModule("Shrinks", Bytes(100000, 's'));
    add("a.vnr", test::container(20, module));
    std::error_code refused;
    disk.beforeCopy = [&] { fs::resize_file(frontEnd.listFolder + "/a.vnr", 5000, refused); };
    const RunReport report = frontEnd.run(disk);
    EXPECT_TRUE(refused);
    EXPECT_EQ(report.counts.converted, 1);
    EXPECT_EQ(readFile(out("Shrinks.it")), module);
}
#else
TEST_F(FaultTest, SourceShrinkingDuringTheCopyFailsWithoutAPartialOutput) {
    const Bytes module = test::itModule("Shrinks", Bytes(100000, 's'));
    add("a.vnr", test::container(20, module));
    disk.beforeCopy = [&] { fs::resize_file(frontEnd.listFolder + "/a.vnr", 5000); };
    const RunReport report = frontEnd.run(disk);
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_NE(report.failures[0].reason.find("ended early"), std::string::npos) << report.failures[0].reason;
    EXPECT_TRUE(fs::is_empty(frontEnd.current.destination));
}
#endif

TEST_F(FaultTest, SourceGrowingDuringTheCopyGivesTheModuleAsItWasMeasured) {
    const Bytes module = test::itModule("Grows", Bytes(100000, 'g'));
    add("a.vnr", test::container(20, module));
    disk.beforeCopy = [&] {
        std::ofstream(frontEnd.listFolder + "/a.vnr", std::ios::binary | std::ios::app) << "appended later";
    };
    const RunReport report = frontEnd.run(disk);
    EXPECT_EQ(report.counts.converted, 1);
    EXPECT_EQ(readFile(out("Grows.it")), module);
}

TEST_F(FaultTest, DestinationRemovedDuringTheRun) {
    add("a.vnr", test::itModule("Alpha"));
    add("b.vnr", test::itModule("Beta"));
    add("c.vnr", test::itModule("Gamma"));
    frontEnd.onFileDone = [](FakeRun& h) {
        if (h.results.size() == 1)
            fs::remove_all(h.current.destination);
    };
    const RunReport report = frontEnd.run(disk);
    EXPECT_EQ(report.counts.converted, 1);
    EXPECT_EQ(report.counts.failed, 2);
    EXPECT_NE(report.summary().find("2 file(s) failed:\nb.vnr: cannot create a file in \"" +
                                    frontEnd.current.destination + "\": " + test::faultText(test::Fault::NoSuchFolder)),
              std::string::npos)
        << report.summary();
    EXPECT_FALSE(fs::exists(frontEnd.current.destination))
        << "the run must not make the folder again behind the user's back";
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
    fs::permissions(frontEnd.listFolder, fs::perms::all, fs::perm_options::add);
    fs::permissions(frontEnd.listFolder + "/a.vnr", fs::perms::all, fs::perm_options::add);
    fs::permissions(frontEnd.listFolder + "/secret.vnr", fs::perms::none);
    fs::permissions(frontEnd.current.destination,
                    fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read | fs::perms::others_exec);
    const bool reported = holdsWithoutPrivileges(m_dir, [&] {
        DiskFileSystem realDisk;
        const RunReport report = frontEnd.run(realDisk);
        return report.counts.failed == 2 && report.failures.size() == 2 &&
               report.failures[0].reason.starts_with("cannot create") &&
               report.failures[0].reason.ends_with("Permission denied") &&
               report.failures[1].reason == "cannot open: Permission denied";
    });
    EXPECT_TRUE(reported) << "both files must fail with \"Permission denied\"";
    EXPECT_TRUE(fs::is_empty(frontEnd.current.destination));
}
#endif

} // namespace
} // namespace zendrow
