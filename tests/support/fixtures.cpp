#include "tests/support/fixtures.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "engine/utf8_path.h"

namespace zendrow::test {

namespace {
Bytes padded(std::string_view text, std::size_t width) {
    Bytes out(text);
    if (out.size() < width)
        out.resize(width, '\0');
    return out;
}
} // namespace

Bytes itModule(std::string_view title, std::string_view body) {
    return "IMPM" + padded(title, 26) + Bytes(body);
}

Bytes s3mModule(std::string_view title, std::string_view body) {
    Bytes header = padded(title, 28) + "\x1a\x10" + Bytes(14, '\0');
    return header + "SCRM" + Bytes(body);
}

Bytes container(std::size_t prefix, const Bytes& module, std::string_view trailer) {
    Bytes out;
    for (std::size_t i = 0; i < prefix; ++i)
        out += static_cast<char>('a' + i % 26); // never spells a signature
    return out + module + Bytes(trailer);
}

void writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(pathFromUtf8(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write fixture " + path);
}

Bytes readFile(const std::string& path) {
    std::ifstream in(pathFromUtf8(path), std::ios::binary);
    if (!in)
        return "<missing>";
    // In blocks: the byte-by-byte iterators take seconds over the large files of some tests.
    Bytes bytes;
    char block[1 << 16];
    while (in.read(block, sizeof block) || in.gcount() > 0)
        bytes.append(block, static_cast<std::size_t>(in.gcount()));
    return bytes;
}

} // namespace zendrow::test
