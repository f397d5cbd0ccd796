// A whole extraction of an arbitrary container into a temporary folder. The first input byte picks
// the run's options, the rest is the container. Afterwards, in the default search, the destination
// holds exactly the bytes from the module's start to the end under the expected name, or nothing
// when there is no module; in the whole-file search, one regular file per module the scanner finds,
// under its numbered name, holding exactly the module's bytes; a listing writes nothing. Nothing
// else on disk has changed.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <climits>
#include <unistd.h>

#include "engine/conversion_run.h"
#include "engine/module_locator.h"
#include "engine/module_scanner.h"
#include "engine/module_writer.h"
#include "engine/output_naming.h"
#include "fuzz/check.h"
#include "tests/support/memory_file.h"

using namespace zendrow;
namespace fs = std::filesystem;

namespace {

constexpr const char* kItemName = "input.vnr";

// Where the work folder goes: $TMPDIR when set, else memory-backed /dev/shm when there is one, as
// every input creates and removes files and a real disk makes that the slowest part by far.
fs::path temporaryFolder() {
    if (std::getenv("TMPDIR") == nullptr && ::access("/dev/shm", W_OK) == 0)
        return "/dev/shm";
    return fs::temp_directory_path();
}

// One folder for the whole fuzzing session: creating a fresh one per input would cost more than the
// extraction itself. Never destroyed, so that it is still there for the removal at exit.
const fs::path& workRoot() {
    static const fs::path* root = [] {
        std::string pattern = (temporaryFolder() / "zendrow-fuzz-XXXXXX").string();
        FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
        auto* made = new fs::path(pattern);
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(workRoot(), ignored);
        });
        return made;
    }();
    return *root;
}

std::vector<std::string> entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    FUZZ_CHECK(in.good());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class OneItem : public RunItems {
public:
    explicit OneItem(std::string folder) : m_folder(std::move(folder)) {}
    int count() override { return 1; }
    bool isSelected(int) override { return true; }
    RunItem item(int) override { return {m_folder, kItemName}; }
    int selectedCount() override { return 1; }

private:
    std::string m_folder;
};

// Keeps what the run reports about the file.
class Recorder : public RunObserver {
public:
    void fileDone(const FileResult& result, const RunCounts&) override { results.push_back(result); }
    std::vector<FileResult> results;
};

// What is in the way in the destination before a whole-file search, when the options ask for it:
// a file, a folder and a dangling link at container-based names, and a file at the first title
// name. None of them may be touched; each makes its name taken.
struct Occupant {
    enum class Type { File, Folder, DanglingLink };
    std::string name;
    Type type;
};

void place(const fs::path& folder, const Occupant& occupant) {
    const fs::path path = folder / occupant.name;
    switch (occupant.type) {
    case Occupant::Type::File: {
        std::ofstream file(path, std::ios::binary);
        file << "in the way";
        FUZZ_CHECK(file.good());
        break;
    }
    case Occupant::Type::Folder:
        fs::create_directory(path);
        break;
    case Occupant::Type::DanglingLink:
        fs::create_symlink("nowhere", path);
        break;
    }
}

void checkUntouched(const fs::path& folder, const Occupant& occupant) {
    const fs::path path = folder / occupant.name;
    switch (occupant.type) {
    case Occupant::Type::File:
        FUZZ_CHECK(fs::is_regular_file(fs::symlink_status(path)));
        FUZZ_CHECK(readAll(path) == "in the way");
        break;
    case Occupant::Type::Folder:
        FUZZ_CHECK(fs::is_directory(fs::symlink_status(path)));
        FUZZ_CHECK(entries(path).empty());
        break;
    case Occupant::Type::DanglingLink:
        FUZZ_CHECK(fs::is_symlink(fs::symlink_status(path)));
        FUZZ_CHECK(fs::read_symlink(path) == "nowhere");
        break;
    }
}

std::vector<FoundModule> scanAll(const std::string& container) {
    test::MemoryFile file(container);
    std::vector<FoundModule> found;
    std::string error;
    FUZZ_CHECK(ModuleScanner().scan(
        file, container.size(),
        [&](const FoundModule& module) {
            found.push_back(module);
            return true;
        },
        [](std::uint64_t) { return true; }, error));
    return found;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t options = data[0];
    const int namingRule = options & 1;                // 0 "Original", 1 "From source files"
    const bool destinationExists = options & 2;        // else the front end creates it, as the window does
    const bool trailingSeparator = options & 4;        // "dest/" as a user may type it
    const bool wholeFile = options & 8;                // the whole-file search instead of the file's head
    const bool listOnly = options & 16;                // --list: names the modules, writes nothing
    const bool occupied = wholeFile && (options & 32); // names already taken in the destination
    const std::string container(reinterpret_cast<const char*>(data + 1), size - 1);

    const fs::path& root = workRoot();
    const fs::path source = root / "src";
    const fs::path out = root / "out"; // the destination sits a level down, so an escape shows up
    const fs::path destination = out / "dest";
    fs::remove_all(out);
    fs::create_directories(source);
    fs::create_directories(out);
    if (destinationExists)
        fs::create_directory(destination);
    {
        std::ofstream file(source / kItemName, std::ios::binary | std::ios::trunc);
        file.write(container.data(), static_cast<std::streamsize>(container.size()));
        FUZZ_CHECK(file.good());
    }

    DiskFileSystem disk;
    const std::string destinationText = destination.string() + (trailingSeparator ? "/" : "");
    if (!destinationExists) {
        std::string error;
        FUZZ_CHECK(disk.createDirectory(destinationText, error));
    }
    // The whole-file search must report exactly what the scanner finds in the same bytes.
    const std::vector<FoundModule> found = wholeFile ? scanAll(container) : std::vector<FoundModule>{};
    std::vector<Occupant> occupants;
    if (occupied) {
        occupants = {{"input.it", Occupant::Type::File},
                     {"input.xm", Occupant::Type::DanglingLink},
                     {"input.mod", Occupant::Type::Folder}};
        if (!found.empty())
            if (const std::optional<std::string> titleName = nameFromTitle(found[0].title, found[0].kind))
                if (*titleName != "input.it" && *titleName != "input.xm" && *titleName != "input.mod")
                    occupants.push_back({*titleName, Occupant::Type::File});
        for (const Occupant& occupant : occupants)
            place(destination, occupant);
    }

    OneItem item(source.string());
    Recorder recorder;
    const RunSettings settings{namingRule == 0 ? NamingRule::Original : NamingRule::FromSourceFiles,
                               wholeFile ? SearchMode::WholeFile : SearchMode::FileStart, destinationText, listOnly};
    const RunReport report = runConversion(
        item, [&] { return settings; }, recorder, disk);

    // Nothing outside the destination: the source untouched, no stray files next to either.
    FUZZ_CHECK(report.status == RunReport::Status::Completed);
    FUZZ_CHECK(report.counts.failed == 0);
    FUZZ_CHECK(entries(root) == (std::vector<std::string>{"out", "src"}));
    FUZZ_CHECK(entries(source) == std::vector<std::string>{kItemName});
    FUZZ_CHECK(readAll(source / kItemName) == container);
    FUZZ_CHECK(entries(out) == std::vector<std::string>{"dest"});
    FUZZ_CHECK(fs::is_directory(fs::symlink_status(destination)));
    FUZZ_CHECK(recorder.results.size() == 1);
    const FileResult& result = recorder.results[0];

    if (wholeFile) {
        FUZZ_CHECK(result.modules.size() == found.size());
        FUZZ_CHECK(report.counts.skipped == (found.empty() ? 1 : 0));
        FUZZ_CHECK((listOnly ? report.counts.found : report.counts.converted) == static_cast<int>(found.size()));
        FUZZ_CHECK((listOnly ? report.counts.converted : report.counts.found) == 0);
        std::set<std::string> taken;
        for (const Occupant& occupant : occupants) {
            checkUntouched(destination, occupant);
            taken.insert(occupant.name);
        }
        std::uint64_t end = 0;
        int truncated = 0;
        for (std::size_t i = 0; i < found.size(); ++i) {
            const ModuleResult& module = result.modules[i];
            FUZZ_CHECK(module.status == (listOnly ? ModuleResult::Status::Found : ModuleResult::Status::Converted));
            FUZZ_CHECK(module.kind == found[i].kind);
            FUZZ_CHECK(module.offset == found[i].offset);
            FUZZ_CHECK(module.length == found[i].length);
            FUZZ_CHECK(module.missing == found[i].missing);
            FUZZ_CHECK(module.title == titleToUtf8(found[i].title, found[i].kind));
            // Inside the file, in order, never overlapping.
            FUZZ_CHECK(module.offset >= end);
            FUZZ_CHECK(module.length > 0 && module.length <= container.size() &&
                       module.offset <= container.size() - module.length);
            end = module.offset + module.length;
            truncated += module.missing > 0 ? 1 : 0;

            // The first free name of the title's (or the container's) numbered series.
            std::string firstName = "input" + std::string(extensionOf(module.kind));
            if (namingRule == 0)
                if (const std::optional<std::string> titleName = nameFromTitle(found[i].title, found[i].kind))
                    firstName = *titleName;
            std::string name;
            for (int number = 1; name.empty() || taken.contains(name); ++number)
                name = numberedName(firstName, module.kind, number);
            taken.insert(name);
            FUZZ_CHECK(module.outputPath == joinPath(destinationText, name));
            if (!listOnly) {
                const fs::path output = destination / name;
                FUZZ_CHECK(fs::is_regular_file(fs::symlink_status(output)));
                FUZZ_CHECK(readAll(output) == container.substr(static_cast<std::size_t>(module.offset),
                                                               static_cast<std::size_t>(module.length)));
            }
        }
        FUZZ_CHECK(report.counts.truncated == truncated);
        // The outputs and what was in the way, nothing else (no temporary left behind).
        std::vector<std::string> expected;
        for (const Occupant& occupant : occupants)
            expected.push_back(occupant.name);
        if (!listOnly)
            for (const ModuleResult& module : result.modules)
                expected.push_back(fs::path(module.outputPath).filename().string());
        std::sort(expected.begin(), expected.end());
        FUZZ_CHECK(entries(destination) == expected);
        return 0;
    }

    // What the run should have found, worked out here from the same head window.
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(container.data());
    const std::span<const std::uint8_t> head(bytes, std::min(container.size(), kHeadWindowSize));
    const LocateResult located = locateModule(head);

    FUZZ_CHECK((listOnly ? report.counts.found : report.counts.converted) == (located.found ? 1 : 0));
    FUZZ_CHECK(report.counts.skipped == (located.found ? 0 : 1));

    const std::vector<std::string> written = entries(destination);
    if (!located.found) {
        FUZZ_CHECK(written.empty());
        return 0;
    }
    const std::string extension(extensionOf(located.kind));
    std::string expectedName = "input" + extension;
    bool titleTooLong = false;
    if (namingRule == 0) {
        const std::optional<std::string> titleName = nameFromTitle(moduleTitle(head, located), located.kind);
        titleTooLong = titleName && titleName->size() > NAME_MAX; // fails at creation
        if (titleName && !titleTooLong)
            expectedName = *titleName;
    }
    FUZZ_CHECK(result.modules.size() == 1);
    if (listOnly) {
        FUZZ_CHECK(written.empty());
        FUZZ_CHECK(result.modules[0].outputPath == joinPath(destinationText, expectedName));
        return 0;
    }
    FUZZ_CHECK(written.size() == 1);
    FUZZ_CHECK(written[0] == expectedName);
    FUZZ_CHECK(result.modules[0].outputPath == joinPath(destinationText, expectedName));
    const fs::path output = destination / written[0];
    FUZZ_CHECK(fs::is_regular_file(fs::symlink_status(output)));
    FUZZ_CHECK(readAll(output) == container.substr(static_cast<std::size_t>(located.start)));
    return 0;
}
