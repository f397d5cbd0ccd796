// Any bytes, of any length, as a head window: finding the module and its title.
#include <cstring>
#include <span>

#include "engine/module_locator.h"
#include "fuzz/check.h"

using namespace zendrow;

namespace {
bool signatureAt(const std::uint8_t* data, std::size_t size, std::size_t at, const char* signature) {
    return at + 4 <= size && std::memcmp(data + at, signature, 4) == 0;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> head(data, size);
    const LocateResult located = locateModule(head);
    const std::string title = moduleTitle(head, located);

    // The first signature in file order wins; "SCRM" only counts from offset 44 on.
    std::size_t signature = size;
    for (std::size_t p = 0; p + 4 <= size && signature == size; ++p)
        if (signatureAt(data, size, p, "IMPM") || (p >= 44 && signatureAt(data, size, p, "SCRM")))
            signature = p;

    if (!located.found) {
        FUZZ_CHECK(signature == size);
        FUZZ_CHECK(title.empty());
        return 0;
    }
    FUZZ_CHECK(located.start < size);
    if (located.kind == ModuleKind::IT) {
        FUZZ_CHECK(signatureAt(data, size, located.start, "IMPM"));
        FUZZ_CHECK(signature == located.start);
    } else {
        FUZZ_CHECK(located.start + 44 + 4 <= size);
        FUZZ_CHECK(signatureAt(data, size, located.start + 44, "SCRM"));
        FUZZ_CHECK(signature == located.start + 44);
    }

    // The title: raw bytes from the kind's title offset up to the first NUL or the window's end.
    const std::size_t begin = located.start + (located.kind == ModuleKind::IT ? 4 : 0);
    FUZZ_CHECK(title.find('\0') == std::string::npos);
    if (begin >= size) {
        FUZZ_CHECK(title.empty());
        return 0;
    }
    FUZZ_CHECK(title.size() <= size - begin);
    FUZZ_CHECK(std::memcmp(title.data(), data + begin, title.size()) == 0);
    FUZZ_CHECK(begin + title.size() == size || data[begin + title.size()] == 0);
    return 0;
}
