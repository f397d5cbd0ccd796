// Any title bytes turned into a file name: it is a plain, usable name or nothing.
#include <string>
#include <string_view>

#include "engine/output_naming.h"
#include "fuzz/check.h"

using namespace zendrow;

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length;
        char32_t point;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            length = 2;
            point = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3;
            point = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4;
            point = c & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            point = (point << 6) | (next & 0x3F);
        }
        constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (point < kSmallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

// Windows' device names, checked here independently of the engine's own test.
bool stemIsDeviceName(std::string_view name) {
    std::string stem(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    for (char& c : stem)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" || stem == "CONOUT$")
        return true;
    if (!stem.starts_with("COM") && !stem.starts_with("LPT"))
        return false;
    const std::string number = stem.substr(3);
    return (number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == "\xc2\xb9" ||
           number == "\xc2\xb2" || number == "\xc2\xb3";
}

void checkName(std::string_view title, ModuleKind kind, std::string_view extension) {
    const std::optional<std::string> name = nameFromTitle(title, kind);
    if (!name)
        return;
    FUZZ_CHECK(!name->empty());
    for (char ch : *name) {
        const auto c = static_cast<unsigned char>(ch);
        FUZZ_CHECK(c >= 0x20 && c != 0x7F);
        FUZZ_CHECK(std::string_view("/\\<>:\"|?*").find(ch) == std::string_view::npos);
    }
    FUZZ_CHECK(!isReservedDeviceName(*name));
    FUZZ_CHECK(!stemIsDeviceName(*name));
    FUZZ_CHECK(name->ends_with(extension));
    FUZZ_CHECK(name->size() > extension.size()); // something of the title is left before it
    FUZZ_CHECK(isValidUtf8(*name));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view title(reinterpret_cast<const char*>(data), size);
    checkName(title, ModuleKind::IT, ".it");
    checkName(title, ModuleKind::S3M, ".s3m");
    FUZZ_CHECK(isValidUtf8(titleToUtf8(title)));
    return 0;
}
