// Scan mode over arbitrary bytes. Whatever the input, the scan reads only inside the file, in
// bounded reads, and reports modules in order of their starts, each inside the file, none
// overlapping another, each starting with its kind's signature, with a title that fits its field.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/module_scanner.h"
#include "fuzz/check.h"
#include "tests/support/memory_file.h"

using namespace zendrow;

namespace {

constexpr std::uint64_t kLargestRead = 2u << 20;

bool startsWithSignature(const std::string& file, const FoundModule& module) {
    auto at = [&](std::uint64_t offset, const char* text) {
        const std::size_t n = std::strlen(text);
        return offset + n <= file.size() && file.compare(static_cast<std::size_t>(offset), n, text) == 0;
    };
    switch (module.kind) {
    case ModuleKind::IT:
        return at(module.offset, "IMPM");
    case ModuleKind::S3M:
        return at(module.offset + 44, "SCRM");
    case ModuleKind::XM:
        return at(module.offset, "Extended Module: ");
    case ModuleKind::MOD:
        return module.offset + 1084 <= file.size(); // one of many tags, looked up by the scanner itself
    }
    return false;
}

std::size_t titleWidth(ModuleKind kind) {
    switch (kind) {
    case ModuleKind::IT:
        return 26;
    case ModuleKind::S3M:
        return 28;
    case ModuleKind::XM:
    case ModuleKind::MOD:
        return 20;
    }
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    test::MemoryFile file(bytes);
    std::vector<FoundModule> found;
    std::uint64_t lastProgress = 0;
    std::string error;
    const bool ok = ModuleScanner().scan(
        file, bytes.size(),
        [&](const FoundModule& module) {
            found.push_back(module);
            return true;
        },
        [&](std::uint64_t scanned) {
            FUZZ_CHECK(scanned >= lastProgress && scanned <= bytes.size());
            lastProgress = scanned;
            return true;
        },
        error);
    FUZZ_CHECK(ok);
    FUZZ_CHECK(!file.readPastEnd);
    FUZZ_CHECK(file.largestRead <= kLargestRead);

    std::uint64_t end = 0;
    for (const FoundModule& module : found) {
        FUZZ_CHECK(module.offset >= end); // in order, never overlapping
        FUZZ_CHECK(module.length > 0);
        FUZZ_CHECK(module.length <= bytes.size() && module.offset <= bytes.size() - module.length);
        // Bytes are missing only from a module that runs to the end of the file.
        FUZZ_CHECK(module.missing == 0 || module.offset + module.length == bytes.size());
        FUZZ_CHECK(startsWithSignature(bytes, module));
        FUZZ_CHECK(module.title.size() <= titleWidth(module.kind));
        FUZZ_CHECK(module.title.find('\0') == std::string::npos);
        FUZZ_CHECK(module.title.empty() || module.title.back() != ' ');
        end = module.offset + module.length;
    }
    return 0;
}
