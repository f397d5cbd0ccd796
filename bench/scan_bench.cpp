// Runs the scanner over one file and prints the number of modules found, then one line per module:
//   scan_bench FILE
// A stand-in for zendrow-cli's scan mode in bench/scan.sh, with the same reads and the same scanner.
#include <cstdio>
#include <string>

#include "engine/file_system.h"
#include "engine/module_scanner.h"

using namespace zendrow;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    DiskFileSystem disk;
    std::string error;
    const std::unique_ptr<InputFile> file = disk.openForReading(argv[1], error);
    std::uint64_t size = 0;
    if (!file || !file->size(size, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    std::string lines;
    int count = 0;
    const bool ok = ModuleScanner().scan(
        *file, size,
        [&](const FoundModule& module) {
            ++count;
            lines += std::string(extensionOf(module.kind).substr(1)) + " @" + std::to_string(module.offset) + " " +
                     std::to_string(module.length) + " missing " + std::to_string(module.missing) + " \"" +
                     module.title + "\"\n";
            return true;
        },
        [](std::uint64_t) { return true; }, error);
    if (!ok) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    std::printf("%d\n%s", count, lines.c_str());
    return 0;
}
