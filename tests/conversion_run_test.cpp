#include "engine/conversion_run.h"

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "engine/output_naming.h"
#include "tests/support/fake_run_host.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/fixtures.h"
#include "tests/support/module_builder.h"
#include "tests/support/platform.h"
#include "tests/support/temp_dir.h"

namespace zendrow {
namespace {

using test::Bytes;
using test::readFile;
using test::writeFile;
namespace fs = std::filesystem;

using test::FakeRun;

class ConversionRunTest : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(m_dir / "src");
        frontEnd.listFolder = m_dir / "src";
        frontEnd.current.destination = m_dir / "dest";
        fs::create_directory(frontEnd.current.destination);
    }

    void addItem(const std::string& name, const Bytes& bytes, bool selected = true) {
        writeFile(m_dir / ("src/" + name), bytes);
        frontEnd.items.push_back(name);
        frontEnd.selected.push_back(selected);
    }

    std::string out(const std::string& name) const { return joinPath(frontEnd.current.destination, name); }

    test::TempDir m_dir;
    test::FaultyFileSystem disk;
    FakeRun frontEnd;
};

TEST_F(ConversionRunTest, ThreeFilesOneWithoutAModule) {
    addItem("a.vnr", test::container(10, test::itModule("Alpha")));
    addItem("b.vnr", "no module in here");
    addItem("c.vnr", test::container(60, test::s3mModule("Gamma")));
    const RunReport report = frontEnd.run(disk);

    EXPECT_EQ(report.status, RunReport::Status::Completed);
    EXPECT_EQ(frontEnd.started, std::vector<int>{3});
    ASSERT_EQ(frontEnd.counts.size(), 3u);
    EXPECT_EQ(frontEnd.counts.back().converted, 2);
    EXPECT_EQ(frontEnd.counts.back().skipped, 1);
    EXPECT_EQ(frontEnd.settingsAsked, 4) << "once before the run, then afresh for every file";
    EXPECT_EQ(report.summary(), "2 file(s) converted succesfully,\n1 file(s) skipped.");
    EXPECT_EQ(readFile(out("Alpha.it")), test::itModule("Alpha"));
    EXPECT_EQ(readFile(out("Gamma.s3m")), test::s3mModule("Gamma"));
    EXPECT_EQ(frontEnd.results[1].outcome, FileResult::Outcome::Skipped);
}

TEST_F(ConversionRunTest, UnselectedItemsAreNeitherReadNorCounted) {
    addItem("a.vnr", test::itModule("Alpha"), false);
    addItem("b.vnr", test::itModule("Beta"));
    const RunReport report = frontEnd.run(disk);
    EXPECT_EQ(disk.opened, 1);
    EXPECT_EQ(report.counts.converted, 1);
    EXPECT_FALSE(fs::exists(out("Alpha.it")));
}

struct DestinationCase {
    const char* description;
    const char* destination; ///< relative to the test folder; "" for none
    bool fileInItsPlace;
    const char* error;
};

class DestinationTest : public ConversionRunTest, public testing::WithParamInterface<DestinationCase> {};

// Asking about a missing destination and creating it is the front end's part: the run itself
// refuses to start without an existing folder, before it reads any file or creates anything.
TEST_P(DestinationTest, NoUsableFolderEndsTheRunBeforeAnyFileIsRead) {
    const DestinationCase& c = GetParam();
    addItem("a.vnr", test::itModule("Alpha"));
    const std::string destination = *c.destination ? m_dir / c.destination : std::string();
    if (c.fileInItsPlace)
        writeFile(destination, "x");
    frontEnd.current.destination = destination;
    const RunReport report = frontEnd.run(disk);
    EXPECT_EQ(report.status, RunReport::Status::DestinationError);
    std::string expected = c.error;
    if (const std::size_t at = expected.find("%s"); at != std::string::npos)
        expected.replace(at, 2, destination);
    EXPECT_EQ(report.error, expected);
    EXPECT_EQ(disk.opened, 0);
    EXPECT_TRUE(frontEnd.started.empty());
    EXPECT_FALSE(fs::exists(m_dir / "new"));
    if (c.fileInItsPlace) {
        EXPECT_EQ(readFile(destination), "x");
    }
}

INSTANTIATE_TEST_SUITE_P(, DestinationTest,
                         testing::Values(DestinationCase{"none given", "", false, "No destination folder is given."},
                                         DestinationCase{"missing", "new", false,
                                                         "The destination folder \"%s\" does not exist."},
                                         DestinationCase{"missing parents", "new/sub", false,
                                                         "The destination folder \"%s\" does not exist."},
                                         DestinationCase{"a file in its place", "afile", true,
                                                         "The destination folder \"%s\" does not exist."}),
                         [](const testing::TestParamInfo<DestinationCase>& info) {
                             std::string name = info.param.description;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

TEST_F(ConversionRunTest, DestinationReachedThroughALinkIsUsedAsItIs) {
    addItem("a.vnr", test::itModule("Alpha"));
    if (!test::makeLink(frontEnd.current.destination, m_dir / "link", true))
        GTEST_SKIP() << "this process may not make links";
    frontEnd.current.destination = m_dir / "link";
    const RunReport report = frontEnd.run(disk);
    EXPECT_EQ(report.status, RunReport::Status::Completed);
    EXPECT_EQ(readFile(m_dir / "dest/Alpha.it"), test::itModule("Alpha"));
}

TEST_F(ConversionRunTest, UnreadableSourcesFailWithTheirReason) {
    addItem("gone.vnr", test::itModule("Gone"));
    addItem("ok.vnr", test::itModule("Fine"));
    fs::remove(m_dir / "src/gone.vnr");
    fs::create_directory(m_dir / "src/dir.vnr");
    frontEnd.items.push_back("dir.vnr");
    frontEnd.selected.push_back(true);

    const RunReport report = frontEnd.run(disk);
    EXPECT_EQ(report.counts.converted, 1);
    EXPECT_EQ(report.counts.skipped, 0);
    EXPECT_EQ(report.counts.failed, 2);
    EXPECT_EQ(report.summary(), "1 file(s) converted succesfully,\n0 file(s) skipped.\n2 file(s) failed:\n"
                                "gone.vnr: cannot open: " +
                                    test::faultText(test::Fault::NoSuchFile) + "\n" +
                                    "dir.vnr: cannot open: " + test::faultText(test::Fault::IsAFolder));
}

TEST_F(ConversionRunTest, SummaryListsTenFailuresThenTheRest) {
    for (int i = 0; i < 13; ++i) {
        frontEnd.items.push_back("missing" + std::to_string(i) + ".vnr");
        frontEnd.selected.push_back(true);
    }
    const std::string summary = frontEnd.run(disk).summary();
    EXPECT_NE(summary.find("13 file(s) failed:\nmissing0.vnr: "), std::string::npos) << summary;
    EXPECT_NE(summary.find("\nmissing9.vnr: "), std::string::npos);
    EXPECT_EQ(summary.find("missing10.vnr"), std::string::npos);
    EXPECT_TRUE(summary.ends_with("\nand 3 more")) << summary;
}

TEST_F(ConversionRunTest, FailedWriteIsReportedAndTheRunGoesOn) {
    addItem("a.vnr", test::itModule("Alpha", Bytes(5000, 'a')));
    addItem("b.vnr", test::itModule("Beta"));
    disk.failCopyAfter = 100;
    const RunReport report = frontEnd.run(disk);
    EXPECT_EQ(report.counts.converted, 1);
    EXPECT_EQ(report.counts.failed, 1);
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(report.failures[0].itemName, "a.vnr");
    EXPECT_FALSE(fs::exists(out("Alpha.it")));
    EXPECT_TRUE(fs::exists(out("Beta.it")));
}

TEST_F(ConversionRunTest, ChangesDuringTheRunTakeEffectFromTheNextFile) {
    addItem("a.vnr", test::itModule("Alpha"));
    addItem("b.vnr", test::itModule("Beta"));
    addItem("c.vnr", test::itModule("Gamma"));
    addItem("d.vnr", test::itModule("Delta"));
    const std::string secondDest = m_dir / "second";
    fs::create_directory(secondDest);
    frontEnd.onFileDone = [&](FakeRun& h) {
        if (h.results.size() == 1) {
            h.current.naming = NamingRule::FromSourceFiles; // "From source files" from now on
            h.current.destination = secondDest;             // and another destination
            h.selected[2] = false;
        }
        if (h.results.size() == 2)
            h.items.pop_back(); // the list was re-read without d.vnr
    };
    const RunReport report = frontEnd.run(disk);
    EXPECT_EQ(report.counts.converted, 2);
    EXPECT_TRUE(fs::exists(m_dir / "dest/Alpha.it"));
    EXPECT_TRUE(fs::exists(secondDest + "/b.it"));
    EXPECT_EQ(disk.opened, 2);
}

TEST_F(ConversionRunTest, DestinationEmptiedDuringTheRunFailsTheFollowingFiles) {
    addItem("a.vnr", test::itModule("Alpha"));
    addItem("b.vnr", test::itModule("Beta"));
    frontEnd.onFileDone = [](FakeRun& h) { h.current.destination.clear(); };
    const RunReport report = frontEnd.run(disk);
    EXPECT_EQ(report.counts.converted, 1);
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(report.failures[0].reason, "no destination folder is given");
}

TEST_F(ConversionRunTest, StopEndsTheRunAfterTheFileInHandAndCountsTheRest) {
    addItem("a.vnr", test::itModule("Alpha"));
    addItem("b.vnr", test::itModule("Beta"));
    addItem("c.vnr", test::itModule("Gamma"), false);
    addItem("d.vnr", test::itModule("Delta"));
    frontEnd.stopAfterFile = [](FakeRun& f) { return f.results.size() == 1; };
    const RunReport report = frontEnd.run(disk);
    EXPECT_EQ(report.status, RunReport::Status::Stopped);
    EXPECT_EQ(report.stoppedBefore, 2);
    EXPECT_EQ(disk.opened, 1);
    EXPECT_EQ(report.summary(), "1 file(s) converted succesfully,\n0 file(s) skipped.\nStopped before 2 file(s).");
}

TEST_F(ConversionRunTest, StopAfterTheLastFileIsACompleteRun) {
    addItem("a.vnr", test::itModule("Alpha"));
    frontEnd.stopAfterFile = [](FakeRun&) { return true; };
    const RunReport report = frontEnd.run(disk);
    EXPECT_EQ(report.status, RunReport::Status::Completed);
    EXPECT_EQ(report.summary(), "1 file(s) converted succesfully,\n0 file(s) skipped.");
}

// The whole-file search writes every module exactly as long as it is, names repeated titles with
// numbers per extension, and never moves what is in the way.
TEST_F(ConversionRunTest, WholeFileWritesEveryModuleUnderNumberedNames) {
    const Bytes first = test::buildIt({.title = "Song"});
    const Bytes xm = test::buildXm({.title = "Song"});
    const Bytes second = test::buildIt({.title = "Song", .patterns = 2});
    const std::size_t xmAt = 1000 + first.size() + 77;
    const std::size_t secondAt = xmAt + xm.size() + 501;
    addItem("pak.vnr",
            test::containerOf({{1000, first}, {xmAt, xm}, {secondAt, second}}, secondAt + second.size() + 300));
    writeFile(out("Song.it"), "the user's own");
    frontEnd.current.search = SearchMode::WholeFile;

    const RunReport report = frontEnd.run(disk);
    EXPECT_EQ(report.counts.converted, 3);
    EXPECT_EQ(report.summary(), "3 file(s) converted succesfully,\n0 file(s) skipped.");
    EXPECT_EQ(readFile(out("Song.it")), "the user's own");
    EXPECT_EQ(readFile(out("Song (2).it")), first);
    EXPECT_EQ(readFile(out("Song.xm")), xm);
    EXPECT_EQ(readFile(out("Song (3).it")), second);
    EXPECT_FALSE(fs::exists(out("Song.it.old")));
    ASSERT_EQ(frontEnd.results.size(), 1u);
    const std::vector<ModuleResult>& modules = frontEnd.results[0].modules;
    ASSERT_EQ(modules.size(), 3u);
    EXPECT_EQ(modules[1].kind, ModuleKind::XM);
    EXPECT_EQ(modules[1].offset, xmAt);
    EXPECT_EQ(modules[1].length, xm.size());
    EXPECT_EQ(modules[1].title, "Song");
}

TEST_F(ConversionRunTest, WholeFileWritesATruncatedModuleAndCountsIt) {
    const Bytes mod = test::buildMod({.title = "Cut", .sampleWords = {4000}});
    const std::size_t kept = mod.size() - 1000;
    addItem("cut.vnr", test::junk(40) + mod.substr(0, kept));
    frontEnd.current.search = SearchMode::WholeFile;
    frontEnd.current.naming = NamingRule::FromSourceFiles;
    const RunReport report = frontEnd.run(disk);
    EXPECT_EQ(report.counts.truncated, 1);
    EXPECT_EQ(report.summary(), "1 file(s) converted succesfully,\n0 file(s) skipped.\n1 module(s) truncated.");
    EXPECT_EQ(readFile(out("cut.mod")), mod.substr(0, kept));
    ASSERT_EQ(frontEnd.results.at(0).modules.size(), 1u);
    EXPECT_EQ(frontEnd.results[0].modules[0].missing, 1000u);
}

// A listing writes nothing, and gives the names a real run would give at that moment, earlier
// modules of the same run included.
TEST_F(ConversionRunTest, ListingNamesWithoutWriting) {
    struct Case {
        const char* description;
        SearchMode search;
        std::vector<std::string> expected;
    };
    for (const Case& c : {Case{"file start: .old taken by then", SearchMode::FileStart, {"Song.it", "b.it"}},
                          Case{"whole file: numbered", SearchMode::WholeFile, {"Song (2).it", "Song (3).it"}}}) {
        SCOPED_TRACE(c.description);
        test::TempDir dir;
        frontEnd = {};
        frontEnd.listFolder = dir.str();
        frontEnd.current.destination = dir / "dest";
        fs::create_directory(frontEnd.current.destination);
        writeFile(dir / "dest/Song.it", "in the way");
        for (const char* name : {"a.vnr", "b.vnr"}) {
            writeFile(dir / name, test::buildIt({.title = "Song"}));
            frontEnd.items.push_back(name);
            frontEnd.selected.push_back(true);
        }
        frontEnd.current.search = c.search;
        frontEnd.current.listOnly = true;
        const RunReport report = frontEnd.run(disk);
        EXPECT_EQ(report.counts.found, 2);
        EXPECT_EQ(report.counts.converted, 0);
        ASSERT_EQ(frontEnd.results.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            ASSERT_EQ(frontEnd.results[i].modules.size(), 1u);
            EXPECT_EQ(frontEnd.results[i].modules[0].status, ModuleResult::Status::Found);
            EXPECT_EQ(frontEnd.results[i].modules[0].outputPath, joinPath(frontEnd.current.destination, c.expected[i]));
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(frontEnd.current.destination), fs::directory_iterator()), 1);
        EXPECT_EQ(report.summary(), "2 module(s) found,\n0 file(s) skipped.");
    }
}

// A title name too long for any disk is not listed: the real run would fall back to the container's.
TEST_F(ConversionRunTest, ListingGivesTheNameTheRunWouldForATitleTooLongForTheDisk) {
    addItem("long.vnr", test::itModule(std::string(200, '\xdb'))); // "█" takes 3 bytes of UTF-8
    frontEnd.current.listOnly = true;
    frontEnd.run(disk);
    ASSERT_EQ(frontEnd.results.at(0).modules.size(), 1u);
    EXPECT_EQ(frontEnd.results[0].modules[0].outputPath, out("long.it"));
    frontEnd.current.listOnly = false;
    frontEnd.results.clear();
    frontEnd.run(disk);
    EXPECT_EQ(frontEnd.results.at(0).outputPath, out("long.it"));
}

// A stop during a long copy abandons the module in hand: nothing of it is published, nothing is
// moved aside, and the file counts as not finished.
TEST_F(ConversionRunTest, StopDuringALongCopyAbandonsTheModuleCleanly) {
    addItem("a.vnr", test::itModule("Alpha"));
    addItem("huge.vnr", test::itModule("Huge"));
    addItem("c.vnr", test::itModule("Gamma"));
    // A 200 MiB module that takes no room: a hole after its header.
    fs::resize_file(m_dir / "src/huge.vnr", std::uint64_t{200} << 20);
    writeFile(out("Huge.it"), "the user's own");
    frontEnd.stopAfterFile = [&](FakeRun& f) { return f.results.size() == 1 && !f.progress.empty(); };
    const RunReport report = frontEnd.run(disk);
    EXPECT_EQ(report.status, RunReport::Status::Stopped);
    EXPECT_EQ(report.stoppedBefore, 2);
    EXPECT_EQ(report.counts.converted, 1);
    EXPECT_EQ(report.counts.skipped, 0);
    ASSERT_FALSE(frontEnd.progress.empty());
    EXPECT_LT(frontEnd.progress.back(), std::uint64_t{200} << 20);
    EXPECT_EQ(readFile(out("Huge.it")), "the user's own");
    EXPECT_FALSE(fs::exists(out("Huge.it.old")));
    EXPECT_FALSE(fs::exists(out("Gamma.it")));
    EXPECT_EQ(std::distance(fs::directory_iterator(frontEnd.current.destination), fs::directory_iterator()), 2)
        << "Alpha.it and the user's own file, no temporary left";
}

TEST_F(ConversionRunTest, SameTitleTwiceLeavesTheFirstAsOld) {
    addItem("a.vnr", test::itModule("Song", "first"));
    addItem("b.vnr", test::itModule("Song", "second"));
    frontEnd.run(disk);
    EXPECT_EQ(readFile(out("Song.it.old")), test::itModule("Song", "first"));
    EXPECT_EQ(readFile(out("Song.it")), test::itModule("Song", "second"));
}

TEST_F(ConversionRunTest, OutputOnItsOwnSourceFailsAndKeepsItWhole) {
    // The list shows the destination folder with a mask that takes the outputs too.
    frontEnd.current.destination = frontEnd.listFolder;
    addItem("Alpha.it", test::itModule("Alpha"));
    addItem("b.vnr", test::itModule("Alpha", "newer"));
    const RunReport report = frontEnd.run(disk);
    EXPECT_EQ(report.counts.failed, 1);
    EXPECT_EQ(report.counts.converted, 1);
    // Alpha.it is a source of this run, so it is not moved aside: b.vnr's module takes its own name.
    EXPECT_FALSE(fs::exists(frontEnd.listFolder + "/Alpha.it.old"));
    EXPECT_EQ(readFile(frontEnd.listFolder + "/Alpha.it"), test::itModule("Alpha"));
    EXPECT_EQ(readFile(frontEnd.listFolder + "/b.it"), test::itModule("Alpha", "newer"));
}

} // namespace
} // namespace zendrow
