#include "engine/conversion_run.h"

#include <filesystem>

#include <gtest/gtest.h>

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

class ConversionRunTest : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(m_dir / "src");
        host.listFolder = m_dir / "src";
        host.dest = m_dir / "dest";
        fs::create_directory(host.dest);
    }

    void addItem(const std::string& name, const Bytes& bytes, bool selected = true) {
        writeFile(m_dir / ("src/" + name), bytes);
        host.items.push_back(name);
        host.selected.push_back(selected);
    }

    std::string out(const std::string& name) const { return joinPath(host.dest, name); }

    test::TempDir m_dir;
    test::FaultyFileSystem disk;
    FakeHost host;
};

TEST_F(ConversionRunTest, ThreeFilesOneWithoutAModule) {
    addItem("a.vnr", test::container(10, test::itModule("Alpha")));
    addItem("b.vnr", "no module in here");
    addItem("c.vnr", test::container(60, test::s3mModule("Gamma")));
    const RunReport report = runConversion(host, disk);

    EXPECT_EQ(report.status, RunReport::Status::Completed);
    EXPECT_EQ(host.started, std::vector<int>{3});
    ASSERT_EQ(host.counts.size(), 3u);
    EXPECT_EQ(host.counts.back().converted, 2);
    EXPECT_EQ(host.counts.back().skipped, 1);
    EXPECT_EQ(host.eventsProcessed, 3);
    EXPECT_EQ(report.summary(), "2 file(s) converted succesfully,\n1 file(s) skipped.");
    EXPECT_EQ(readFile(out("Alpha.it")), test::itModule("Alpha"));
    EXPECT_EQ(readFile(out("Gamma.s3m")), test::s3mModule("Gamma"));
    EXPECT_EQ(host.results[1].outcome, FileResult::Outcome::Skipped);
}

TEST_F(ConversionRunTest, UnselectedItemsAreNeitherReadNorCounted) {
    addItem("a.vnr", test::itModule("Alpha"), false);
    addItem("b.vnr", test::itModule("Beta"));
    const RunReport report = runConversion(host, disk);
    EXPECT_EQ(disk.opened, 1);
    EXPECT_EQ(report.counts.converted, 1);
    EXPECT_FALSE(fs::exists(out("Alpha.it")));
}

TEST_F(ConversionRunTest, MissingDestinationAnsweredNoChangesNothing) {
    addItem("a.vnr", test::itModule("Alpha"));
    host.dest = m_dir / "new";
    const RunReport report = runConversion(host, disk);
    EXPECT_EQ(report.status, RunReport::Status::Cancelled);
    EXPECT_EQ(host.asked, std::vector<std::string>{host.dest});
    EXPECT_FALSE(fs::exists(host.dest));
    EXPECT_EQ(disk.opened, 0);
    EXPECT_TRUE(host.started.empty());
}

TEST_F(ConversionRunTest, MissingDestinationAnsweredYesIsCreatedOneLevel) {
    addItem("a.vnr", test::itModule("Alpha"));
    host.dest = m_dir / "new";
    host.answerCreate = true;
    const RunReport report = runConversion(host, disk);
    EXPECT_EQ(report.status, RunReport::Status::Completed);
    EXPECT_EQ(readFile(out("Alpha.it")), test::itModule("Alpha"));
}

TEST_F(ConversionRunTest, DestinationThatCannotBeCreatedEndsTheRunBeforeAnyFileIsRead) {
    addItem("a.vnr", test::itModule("Alpha"));
    host.dest = m_dir / "no/such/parent";
    host.answerCreate = true;
    const RunReport report = runConversion(host, disk);
    EXPECT_EQ(report.status, RunReport::Status::DestinationError);
    EXPECT_NE(report.error.find(host.dest), std::string::npos) << report.error;
    EXPECT_NE(report.error.find(test::faultText(test::Fault::NoSuchFolder)), std::string::npos) << report.error;
    EXPECT_EQ(disk.opened, 0);
}

TEST_F(ConversionRunTest, DestinationReachedThroughALinkIsUsedAsItIs) {
    addItem("a.vnr", test::itModule("Alpha"));
    if (!test::makeLink(host.dest, m_dir / "link", true))
        GTEST_SKIP() << "this process may not make links";
    host.dest = m_dir / "link";
    const RunReport report = runConversion(host, disk);
    EXPECT_EQ(report.status, RunReport::Status::Completed);
    EXPECT_TRUE(host.asked.empty());
    EXPECT_EQ(readFile(m_dir / "dest/Alpha.it"), test::itModule("Alpha"));
}

TEST_F(ConversionRunTest, FileInTheDestinationsPlaceIsNotAFolder) {
    addItem("a.vnr", test::itModule("Alpha"));
    host.dest = m_dir / "afile";
    writeFile(host.dest, "x");
    host.answerCreate = true;
    const RunReport report = runConversion(host, disk);
    EXPECT_EQ(report.status, RunReport::Status::DestinationError);
    EXPECT_EQ(readFile(host.dest), "x");
}

TEST_F(ConversionRunTest, UnreadableSourcesFailWithTheirReason) {
    addItem("gone.vnr", test::itModule("Gone"));
    addItem("ok.vnr", test::itModule("Fine"));
    fs::remove(m_dir / "src/gone.vnr");
    fs::create_directory(m_dir / "src/dir.vnr");
    host.items.push_back("dir.vnr");
    host.selected.push_back(true);

    const RunReport report = runConversion(host, disk);
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
        host.items.push_back("missing" + std::to_string(i) + ".vnr");
        host.selected.push_back(true);
    }
    const std::string summary = runConversion(host, disk).summary();
    EXPECT_NE(summary.find("13 file(s) failed:\nmissing0.vnr: "), std::string::npos) << summary;
    EXPECT_NE(summary.find("\nmissing9.vnr: "), std::string::npos);
    EXPECT_EQ(summary.find("missing10.vnr"), std::string::npos);
    EXPECT_TRUE(summary.ends_with("\nand 3 more")) << summary;
}

TEST_F(ConversionRunTest, FailedWriteIsReportedAndTheRunGoesOn) {
    addItem("a.vnr", test::itModule("Alpha", Bytes(5000, 'a')));
    addItem("b.vnr", test::itModule("Beta"));
    disk.failCopyAfter = 100;
    const RunReport report = runConversion(host, disk);
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
    host.onFileDone = [&](FakeHost& h) {
        if (h.results.size() == 1) {
            h.rule = 1;          // "From source files" from now on
            h.dest = secondDest; // and another destination
            h.selected[2] = false;
        }
        if (h.results.size() == 2)
            h.items.pop_back(); // the list was re-read without d.vnr
    };
    const RunReport report = runConversion(host, disk);
    EXPECT_EQ(report.counts.converted, 2);
    EXPECT_TRUE(fs::exists(m_dir / "dest/Alpha.it"));
    EXPECT_TRUE(fs::exists(secondDest + "/b.it"));
    EXPECT_EQ(disk.opened, 2);
}

TEST_F(ConversionRunTest, DestinationEmptiedDuringTheRunFailsTheFollowingFiles) {
    addItem("a.vnr", test::itModule("Alpha"));
    addItem("b.vnr", test::itModule("Beta"));
    host.onFileDone = [](FakeHost& h) { h.dest.clear(); };
    const RunReport report = runConversion(host, disk);
    EXPECT_EQ(report.counts.converted, 1);
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(report.failures[0].reason, "no destination folder is given");
}

TEST_F(ConversionRunTest, SameTitleTwiceLeavesTheFirstAsOld) {
    addItem("a.vnr", test::itModule("Song", "first"));
    addItem("b.vnr", test::itModule("Song", "second"));
    runConversion(host, disk);
    EXPECT_EQ(readFile(out("Song.it.old")), test::itModule("Song", "first"));
    EXPECT_EQ(readFile(out("Song.it")), test::itModule("Song", "second"));
}

TEST_F(ConversionRunTest, OutputOnItsOwnSourceFailsAndKeepsItWhole) {
    // The list shows the destination folder with a mask that takes the outputs too.
    host.dest = host.listFolder;
    addItem("Alpha.it", test::itModule("Alpha"));
    addItem("b.vnr", test::itModule("Alpha", "newer"));
    const RunReport report = runConversion(host, disk);
    EXPECT_EQ(report.counts.failed, 1);
    EXPECT_EQ(report.counts.converted, 1);
    // Alpha.it is a source of this run, so it is not moved aside: b.vnr's module takes its own name.
    EXPECT_FALSE(fs::exists(host.listFolder + "/Alpha.it.old"));
    EXPECT_EQ(readFile(host.listFolder + "/Alpha.it"), test::itModule("Alpha"));
    EXPECT_EQ(readFile(host.listFolder + "/b.it"), test::itModule("Alpha", "newer"));
}

} // namespace
} // namespace zendrow
