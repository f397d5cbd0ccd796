// A whole extraction of an arbitrary container into a temporary folder. The first input byte picks
// the run's options, the rest is the container. Afterwards the destination holds exactly the bytes
// from the module's start to the end under the expected name, or nothing when there is no module,
// and nothing else on disk has changed.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <climits>
#include <unistd.h>

#include "engine/conversion_run.h"
#include "engine/module_locator.h"
#include "engine/output_naming.h"
#include "fuzz/check.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t options = data[0];
    const int namingRule = options & 1;         // 0 "Original", 1 "From source files"
    const bool destinationExists = options & 2; // else the front end creates it, as the window does
    const bool trailingSeparator = options & 4; // "dest/" as a user may type it
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
    OneItem item(source.string());
    RunObserver quiet;
    const RunSettings settings{namingRule == 0 ? NamingRule::Original : NamingRule::FromSourceFiles,
                               SearchMode::FileStart, destinationText};
    const RunReport report = runConversion(
        item, [&] { return settings; }, quiet, disk);

    // What the run should have found, worked out here from the same head window.
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(container.data());
    const std::span<const std::uint8_t> head(bytes, std::min(container.size(), kHeadWindowSize));
    const LocateResult located = locateModule(head);

    FUZZ_CHECK(report.status == RunReport::Status::Completed);
    FUZZ_CHECK(report.counts.failed == 0);
    FUZZ_CHECK(report.counts.converted == (located.found ? 1 : 0));
    FUZZ_CHECK(report.counts.skipped == (located.found ? 0 : 1));

    // Nothing outside the destination: the source untouched, no stray files next to either.
    FUZZ_CHECK(entries(root) == (std::vector<std::string>{"out", "src"}));
    FUZZ_CHECK(entries(source) == std::vector<std::string>{kItemName});
    FUZZ_CHECK(readAll(source / kItemName) == container);
    FUZZ_CHECK(entries(out) == std::vector<std::string>{"dest"});
    FUZZ_CHECK(fs::is_directory(fs::symlink_status(destination)));

    const std::vector<std::string> written = entries(destination);
    if (!located.found) {
        FUZZ_CHECK(written.empty());
        return 0;
    }
    FUZZ_CHECK(written.size() == 1);
    const std::string extension(extensionOf(located.kind));
    std::string expectedName = "input" + extension;
    if (namingRule == 0) {
        const std::optional<std::string> titleName = nameFromTitle(moduleTitle(head, located), located.kind);
        if (titleName && titleName->size() <= NAME_MAX) // longer ones fail at creation
            expectedName = *titleName;
    }
    FUZZ_CHECK(written[0] == expectedName);
    const fs::path output = destination / written[0];
    FUZZ_CHECK(fs::is_regular_file(fs::symlink_status(output)));
    FUZZ_CHECK(readAll(output) == container.substr(static_cast<std::size_t>(located.start)));
    return 0;
}
