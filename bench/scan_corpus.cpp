// Writes the scan benchmark's container: SIZE_MIB MiB of random bytes (fixed seed) holding a few
// modules of each kind at odd offsets, and prints one line per module: kind, offset, length, title.
//   scan_corpus FILE SIZE_MIB
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/module_builder.h"

using namespace zendrow::test;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FILE SIZE_MIB\n", argv[0]);
        return 2;
    }
    const std::uint64_t size = std::strtoull(argv[2], nullptr, 10) << 20;
    struct Module {
        const char* kind;
        std::string title;
        Bytes bytes;
    };
    const std::vector<Module> modules = {
        {"it", "Bench IT", buildIt({.title = "Bench IT", .instruments = 1, .samples = {{.length = 300000, .fill = "it"}}})},
        {"s3m", "Bench S3M", buildS3m({.title = "Bench S3M", .samples = {{.length = 200000, .sixteenBit = true}}})},
        {"xm", "Bench XM", buildXm({.title = "Bench XM", .instruments = {{{{.length = 250000, .fill = "xm"}}}}})},
        {"mod", "Bench MOD", buildMod({.title = "Bench MOD", .sampleWords = {60000, 30000}, .fill = "mod"})},
        {"it", "Packed IT", buildIt({.title = "Packed IT", .samples = {{.length = 100000, .encoding = ItSample::Encoding::Compressed}}})},
        {"mod", "Bench 8CHN", buildMod({.title = "Bench 8CHN", .channels = 8, .sampleWords = {20000}})},
    };
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    // Random bytes from xorshift64 (fixed seed), with the modules spread through the file.
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    std::vector<char> block(1 << 20);
    auto writeRandom = [&](std::uint64_t count) {
        while (count > 0) {
            for (std::size_t i = 0; i < block.size(); i += 8) {
                state ^= state << 13;
                state ^= state >> 7;
                state ^= state << 17;
                for (int b = 0; b < 8; ++b)
                    block[i + b] = static_cast<char>(state >> (8 * b));
            }
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), count));
            std::fwrite(block.data(), 1, n, out);
            count -= n;
        }
    };
    std::uint64_t written = 0;
    for (std::size_t i = 0; i < modules.size(); ++i) {
        const std::uint64_t at = (size / (modules.size() + 1)) * (i + 1) + 12345 * i + 7;
        writeRandom(at - written);
        std::fwrite(modules[i].bytes.data(), 1, modules[i].bytes.size(), out);
        written = at + modules[i].bytes.size();
        std::printf("%s %llu %zu \"%s\"\n", modules[i].kind, static_cast<unsigned long long>(at),
                    modules[i].bytes.size(), modules[i].title.c_str());
    }
    writeRandom(size - written);
    if (std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
