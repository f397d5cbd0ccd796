#include "app/command_line.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>

#include "engine/windows_text.h"
#else
#include <sys/stat.h>
#include <sys/wait.h>
#endif

#include "engine/file_system.h"
#include "engine/output_naming.h"
#include "engine/utf8_path.h"
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

// A path as a JSON string holds it: Windows paths have backslashes, which JSON escapes.
std::string json(std::string text) {
    for (std::size_t at = text.find('\\'); at != std::string::npos; at = text.find('\\', at + 2))
        text.insert(at, 1, '\\');
    return text;
}

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

    // The installed program through the platform's shell: exit status, stdout, and stderr kept in a file.
    // shellPrefix (POSIX only) runs before the program in the same shell, e.g. to set a limit.
    Outcome runProgram(const std::vector<std::string>& args, const std::string& shellPrefix = "") {
        const std::string errPath = m_dir / "err";
#ifdef _WIN32
        std::string program = ZENDROW_CLI_PATH;
        // A cross build names the program by its build machine's path; Wine shows that machine's
        // root as drive Z:.
        if (program.starts_with("/"))
            program = utf8FromPath(pathFromUtf8("Z:" + program).make_preferred());
        std::string command = "\"" + program + "\"";
        for (const std::string& arg : args)
            command += " \"" + arg + "\"";
        command += " 2>\"" + errPath + "\"";
        // cmd.exe /c drops the outermost quotes; the wide form keeps every name as it is.
        std::wstring wide;
        EXPECT_TRUE(wideFromUtf8("\"" + command + "\"", wide));
        FILE* pipe = ::_wpopen(wide.c_str(), L"rt");
#else
        std::string command = shellPrefix + "exec " + ZENDROW_CLI_PATH;
        for (const std::string& arg : args)
            command += " '" + arg + "'";
        command += " 2>'" + errPath + "'";
        FILE* pipe = ::popen(command.c_str(), "r");
#endif
        EXPECT_NE(pipe, nullptr);
        if (!pipe)
            return {-1, "", ""};
        std::string output;
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            output.append(buffer, n);
#ifdef _WIN32
        const int status = ::_pclose(pipe);
#else
        const int raw = ::pclose(pipe);
        EXPECT_TRUE(WIFEXITED(raw)) << "the program did not exit normally";
        const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
        return {status, output, readFile(errPath)};
    }

    std::string in(const std::string& name) const {
        return m_dir / ("in/" + name);
    }
    std::string out(const std::string& name) const {
        return m_dir / ("out/" + name);
    }

    test::TempDir m_dir;
};

TEST_F(CommandLineTest, FolderGivesItsMatchingFilesInListOrder) {
    const Outcome r = run({"--dest", m_dir / "out", m_dir / "in"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "converted  " + in("A.VNR") + " -> " + out("Alpha.s3m") + "\n" + "converted  " + in("b.vnr") +
                         " -> " + out("Beta.it") + "\n" + "skipped    " + in("c.vnr") + " (no module)\n" +
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
    const std::string noSuchFile = test::faultText(test::Fault::NoSuchFile);
    EXPECT_EQ(r.out, "failed     " + in("nope.vnr") + ": cannot open: " + noSuchFile +
                         "\n"
                         "1 file(s) converted succesfully,\n0 file(s) skipped.\n1 file(s) failed:\n"
                         "nope.vnr: cannot open: " +
                         noSuchFile + "\n");
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
    // An empty value (an unset variable in a script) is refused, not taken as some default.
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {"--names", "title", in("b.vnr")},
                                               {"--bogus", in("b.vnr")},
                                               {"--dest"},
                                               {"--dest", "", in("b.vnr")},
                                               {"--names", "", in("b.vnr")},
                                               {"--mask", "", "--dest", m_dir / "out", m_dir / "in"},
                                               {"--dest", m_dir / "out", ""}}) {
        SCOPED_TRACE(testing::PrintToString(args));
        const Outcome r = run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(r.err.starts_with("zendrow-cli: ")) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(fs::is_empty(m_dir / "out"));
    }
}

// The destination is the source folder and every file is taken: a module named like a later
// source does not move that source aside; each source is converted as listed.
TEST_F(CommandLineTest, SourceFolderAsDestinationConvertsEverySource) {
    const std::string folder = m_dir / "same";
    fs::create_directory(folder);
    writeFile(joinPath(folder, "1.vnr"), test::itModule("Song", "first"));
    writeFile(joinPath(folder, "Song.it"), test::itModule("Other", "second"));
    const Outcome r = run({"--mask", "*", "--dest", folder, folder});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "converted  " + joinPath(folder, "1.vnr") + " -> " + joinPath(folder, "1.it") + "\n" +
                         "converted  " + joinPath(folder, "Song.it") + " -> " + joinPath(folder, "Other.it") + "\n" +
                         "2 file(s) converted succesfully,\n0 file(s) skipped.\n");
    EXPECT_EQ(readFile(joinPath(folder, "Song.it")), test::itModule("Other", "second"));
    EXPECT_FALSE(fs::exists(joinPath(folder, "Song.it.old")));
}

// A report that cannot be written (a full disk, a closed pipe) ends the run after the file in hand.
TEST_F(CommandLineTest, AReportThatCannotBeWrittenEndsTheRun) {
    // A stream that takes nothing, as standard output on a full disk.
    struct FullBuffer : std::streambuf {
        int overflow(int) override { return traits_type::eof(); }
        std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
    } full;
    std::ostream report(&full);
    std::ostringstream err;
    const std::vector<std::string> args = {"zendrow-cli", "--dest", m_dir / "out", m_dir / "in"};
    std::vector<const char*> argv;
    for (const auto& a : args)
        argv.push_back(a.c_str());
    DiskFileSystem disk;
    const int status = runCommandLine(static_cast<int>(argv.size()), argv.data(), report, err, disk);
    EXPECT_EQ(status, 1);
    const std::string message = err.str();
    EXPECT_TRUE(message.starts_with("zendrow-cli: cannot write to standard output: ")) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    // A.VNR was in hand when its line could not be written; b.vnr was never started.
    EXPECT_TRUE(fs::exists(out("Alpha.s3m")));
    EXPECT_FALSE(fs::exists(out("Beta.it")));
}

TEST_F(CommandLineTest, HelpAndVersion) {
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--create-dest"), std::string::npos);
    const Outcome version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("zendrow-cli ") + ZENDROW_VERSION + "\n");
}

// JSON Lines: one object per module or file in run order, then the totals, and nothing else on stdout.
TEST_F(CommandLineTest, JsonLinesInTheDocumentedShape) {
    const Outcome r = run({"--json", "--dest", m_dir / "out", m_dir / "in", in("nope.vnr")});
    EXPECT_EQ(r.status, 1);
    const std::string noSuchFile = test::faultText(test::Fault::NoSuchFile);
    EXPECT_EQ(r.out,
              R"({"source":")" + json(in("A.VNR")) + R"(","kind":"s3m","offset":60,"length":)" +
                  std::to_string(test::s3mModule("Alpha").size()) + R"(,"title":"Alpha","output":")" +
                  json(out("Alpha.s3m")) + R"(","status":"converted"})" + "\n" + R"({"source":")" + json(in("b.vnr")) +
                  R"(","kind":"it","offset":33,"length":)" + std::to_string(test::itModule("Beta").size()) +
                  R"(,"title":"Beta","output":")" + json(out("Beta.it")) + R"(","status":"converted"})" + "\n" +
                  R"({"source":")" + json(in("c.vnr")) + R"(","status":"skipped"})" + "\n" + R"({"source":")" +
                  json(in("nope.vnr")) + R"(","status":"failed","reason":"cannot open: )" + noSuchFile + R"("})" +
                  "\n" + R"({"totals":{"converted":2,"found":0,"skipped":1,"failed":1,"truncated":0}})" + "\n");
}

#ifndef _WIN32
// A name from old media that is not UTF-8 still converts, and its JSON line stays valid JSON.
TEST_F(CommandLineTest, JsonShowsNamesThatAreNotUtf8WithReplacementCharacters) {
    const std::string latin1 = in("M\xdcSIK.vnr");
    writeFile(latin1, test::itModule(""));
    const Outcome r = run({"--json", "--names", "source", "--dest", m_dir / "out", latin1});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(R"({"source":")" + in("M\xef\xbf\xbdSIK.vnr") + R"(","kind":"it")"), std::string::npos)
        << r.out;
    EXPECT_TRUE(fs::exists(out("M\xdcSIK.it")));
}
#endif

// --scan: a line per module with its offset and length, a truncated one said so, numbered names.
TEST_F(CommandLineTest, ScanPrintsEachModuleWithItsPlace) {
    const Bytes it = test::buildIt({.title = "Song"});
    const Bytes mod = test::buildMod({.title = "Song", .sampleWords = {3000}});
    const std::size_t modAt = 0x1A2B0;
    writeFile(in("pak.dat"),
              test::containerOf({{5, it}, {modAt, mod}}, modAt + mod.size()).substr(0, modAt + mod.size() - 100));
    const Outcome r = run({"--scan", "--dest", m_dir / "out", in("pak.dat")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "converted  " + in("pak.dat") + " @0x5 (" + std::to_string(it.size()) + " bytes) -> " +
                         out("Song.it") + "\nconverted  " + in("pak.dat") + " @0x1A2B0 (" +
                         std::to_string(mod.size() - 100) + " bytes, truncated: 100 bytes missing) -> " +
                         out("Song.mod") +
                         "\n2 file(s) converted succesfully,\n0 file(s) skipped.\n"
                         "1 module(s) truncated.\n");
    EXPECT_EQ(readFile(out("Song.it")), it);

    const Outcome again = run({"--scan", "--quiet", "--json", "--dest", m_dir / "out", in("pak.dat")});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.out.find(R"("output":")" + json(out("Song (2).it")) + R"(","status":"converted"})"),
              std::string::npos)
        << again.out;
    EXPECT_NE(again.out.find(R"(,"status":"converted","missing":100})"), std::string::npos) << again.out;
    EXPECT_TRUE(again.out.ends_with(R"({"totals":{"converted":2,"found":0,"skipped":0,"failed":0,"truncated":1}})"
                                    "\n"));
}

// --list writes nothing, not even a missing destination, and shows what would be written.
TEST_F(CommandLineTest, ListWritesNothing) {
    const std::string dest = m_dir / "not-yet";
    const Outcome r = run({"--list", "--dest", dest, in("b.vnr"), in("c.vnr")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "found      " + in("b.vnr") + " @0x21 (" + std::to_string(test::itModule("Beta").size()) +
                         " bytes) it \"Beta\" -> " + joinPath(dest, "Beta.it") + "\nskipped    " + in("c.vnr") +
                         " (no module)\n1 module(s) found,\n1 file(s) skipped.\n");
    EXPECT_FALSE(fs::exists(dest));
}

// The installed program itself: exit status and the streams as a shell sees them.
TEST_F(CommandLineTest, ProgramEndToEnd) {
    const Outcome r = runProgram({"--dest", m_dir / "out", m_dir / "in", in("missing.vnr")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("2 file(s) converted succesfully,\n1 file(s) skipped.\n1 file(s) failed:\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFile(out("Beta.it")), test::itModule("Beta"));
}

#ifndef _WIN32
// A disk that fills up part-way: the program reports the file as failed instead of being ended by
// the file-size signal, and leaves no partial output behind.
TEST_F(CommandLineTest, ProgramReportsAWriteOverTheFileSizeLimit) {
    writeFile(in("big.vnr"), test::itModule("Big", std::string(300000, 'b')));
    const Outcome r = runProgram({"--quiet", "--dest", m_dir / "out", in("big.vnr"), in("b.vnr")}, "ulimit -f 128; ");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find("failed     " + in("big.vnr") + ": cannot write \"" + out("Big.it") + "\": File too large"),
              std::string::npos)
        << r.out;
    EXPECT_FALSE(fs::exists(out("Big.it")));
    EXPECT_TRUE(fs::exists(out("Beta.it")));
}
#endif

#ifndef _WIN32
TEST_F(CommandLineTest, ProgramWithAFullStandardOutputFails) {
    const Outcome r = runProgram({"--dest", m_dir / "out", m_dir / "in"}, "exec >/dev/full; ");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zendrow-cli: cannot write to standard output: No space left on device\n");
    EXPECT_FALSE(fs::exists(out("Beta.it")));
}

// A pipe, a socket or a device given as a source fails at once, and the run goes on.
TEST_F(CommandLineTest, ProgramRefusesWhatIsNotARegularFile) {
    ASSERT_EQ(::mkfifo(in("f.vnr").c_str(), 0600), 0);
    const Outcome r = runProgram({"--quiet", "--dest", m_dir / "out", in("f.vnr"), "/dev/null", in("b.vnr")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "failed     " + in("f.vnr") + ": cannot open: not a regular file\n" +
                         "failed     /dev/null: cannot open: not a regular file\n" +
                         "1 file(s) converted succesfully,\n0 file(s) skipped.\n2 file(s) failed:\n" +
                         "f.vnr: cannot open: not a regular file\nnull: cannot open: not a regular file\n");
}

// Names cannot forge result lines or drive the terminal: each is shown escaped and quoted.
TEST_F(CommandLineTest, ProgramPrintsNamesEscaped) {
    const std::string forged = "x.vnr\nconverted  passwd -> owned\n.vnr";
    const std::string terminal = "\x1b]0;pwned\x07\x1b[2J\x1b[31m.vnr";
    const std::string folder = m_dir / "odd";
    fs::create_directory(folder);
    writeFile(joinPath(folder, forged), test::itModule("Forged"));
    writeFile(joinPath(folder, terminal), "no module");
    writeFile(joinPath(folder, "\xff.vnr"), test::itModule("Bad"));
    const std::string pipe = m_dir / "p\nq.vnr"; // fails, so that its name is in the summary too
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const Outcome r = runProgram({"--mask", "*", "--names", "source", "--dest", m_dir / "out", folder, pipe});
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(r.out, "skipped    $'" + folder + "/\\x1b]0;pwned\\a\\x1b[2J\\x1b[31m.vnr' (no module)\n" +
                         "converted  $'" + folder + "/x.vnr\\nconverted  passwd -> owned\\n.vnr' -> $'" +
                         out("x.vnr\\nconverted  passwd -> owned\\n.it") + "'\n" + "converted  $'" + folder +
                         "/\\xff.vnr' -> $'" + out("\\xff.it") + "'\n" + "failed     $'" + m_dir.str() +
                         "/p\\nq.vnr': cannot open: not a regular file\n" +
                         "2 file(s) converted succesfully,\n1 file(s) skipped.\n1 file(s) failed:\n" +
                         "$'p\\nq.vnr': cannot open: not a regular file\n");
    EXPECT_EQ(r.status, 1);
}
#endif

#ifdef _WIN32
// Names beyond the ANSI code page reach the program through the wide command line and come back
// as the very same names: a CP437 title becomes "Über.it", a Greek source name stays Greek.
TEST_F(CommandLineTest, ProgramTakesAndGivesNamesBeyondTheAnsiCodePage) {
    const std::string folder = m_dir / "in-\xe9\x9f\xb3\xe6\xa5\xbd"; // 音楽
    const std::string dest = m_dir / "out-\xe7\x9b\xae\xe7\x9a\x84";  // 目的
    fs::create_directory(pathFromUtf8(folder));
    fs::create_directory(pathFromUtf8(dest));
    const std::string titled = joinPath(folder, "\xce\xa9mega.vnr");   // Ωmega.vnr
    const std::string untitled = joinPath(folder, "\xce\xa3igma.vnr"); // Σigma.vnr
    writeFile(titled, test::container(7, test::itModule("\x9a"
                                                        "ber")));
    writeFile(untitled, test::container(7, test::s3mModule("")));

    const Outcome r = runProgram({"--dest", dest, folder});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "converted  " + untitled + " -> " + joinPath(dest, "\xce\xa3igma.s3m") + "\n" + "converted  " +
                         titled + " -> " +
                         joinPath(dest, "\xc3\x9c"
                                        "ber.it") +
                         "\n" + "2 file(s) converted succesfully,\n0 file(s) skipped.\n");
    std::vector<std::wstring> names;
    for (const auto& entry : fs::directory_iterator(pathFromUtf8(dest)))
        names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"\u00dcber.it", L"\u03a3igma.s3m"}));
}
#endif

} // namespace
} // namespace zendrow
