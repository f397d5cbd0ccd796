#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zendrow::test {

using Bytes = std::string;

/// An IT module: "IMPM", the title padded with NULs to its 26-byte field, then body.
Bytes itModule(std::string_view title, std::string_view body = "it-body");
/// An S3M module: the title padded to 28 bytes, header bytes up to offset 44, "SCRM", then body.
Bytes s3mModule(std::string_view title, std::string_view body = "s3m-body");
/// A container: prefix bytes (the container's own header), then module, then trailer.
Bytes container(std::size_t prefix, const Bytes& module, std::string_view trailer = "");

void writeFile(const std::string& path, std::string_view bytes);
/// The whole file, or "<missing>" when it cannot be read.
Bytes readFile(const std::string& path);

} // namespace zendrow::test
