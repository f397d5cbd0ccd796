#include "engine/module_locator.h"

#include <algorithm>
#include <cstring>

namespace zendrow {

namespace {
constexpr std::uint8_t kItSignature[4] = {'I', 'M', 'P', 'M'};
constexpr std::uint8_t kS3mSignature[4] = {'S', 'C', 'R', 'M'};
constexpr std::size_t kS3mSignatureOffset = 44;
constexpr std::size_t kItTitleOffset = 4;
} // namespace

std::string_view extensionOf(ModuleKind kind) {
    switch (kind) {
    case ModuleKind::S3M:
        return ".s3m";
    case ModuleKind::XM:
        return ".xm";
    case ModuleKind::MOD:
        return ".mod";
    case ModuleKind::IT:
        break;
    }
    return ".it";
}

LocateResult locateModule(std::span<const std::uint8_t> head) {
    for (std::size_t p = 0; p + 4 <= head.size(); ++p) {
        const std::uint8_t* at = head.data() + p;
        if (std::memcmp(at, kItSignature, 4) == 0)
            return {true, ModuleKind::IT, p};
        if (std::memcmp(at, kS3mSignature, 4) == 0 && p >= kS3mSignatureOffset)
            return {true, ModuleKind::S3M, p - kS3mSignatureOffset};
    }
    return {};
}

std::string moduleTitle(std::span<const std::uint8_t> head, const LocateResult& located) {
    if (!located.found)
        return {};
    const std::uint64_t begin = located.start + (located.kind == ModuleKind::IT ? kItTitleOffset : 0);
    if (begin >= head.size())
        return {};
    const auto first = head.begin() + static_cast<std::ptrdiff_t>(begin);
    const auto end = std::find(first, head.end(), std::uint8_t{0});
    return std::string(first, end);
}

} // namespace zendrow
