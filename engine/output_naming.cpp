#include "engine/output_naming.h"

#include <algorithm>
#include <array>

#include "engine/ascii_text.h"

namespace zendrow {

namespace {

// Code page 437, bytes 0x80 to 0xFF, as Unicode code points.
constexpr std::array<char32_t, 128> kCp437High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isRefusedByte(unsigned char c, ModuleKind kind) {
    if (c < 0x20 || c == 0x7F)
        return true;
    if (kind == ModuleKind::MOD && c >= 0x80 && c <= 0x9F)
        return true;
    constexpr std::string_view refused = "<>:\"|?*/\\";
    return refused.find(static_cast<char>(c)) != std::string_view::npos;
}

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

} // namespace

NamingRule namingRuleFromIndex(int index) {
    return index == 0 ? NamingRule::Original : NamingRule::FromSourceFiles;
}

std::string titleToUtf8(std::string_view titleBytes, ModuleKind kind) {
    // ISO 8859-1 maps each byte to the code point of the same number.
    const bool latin1 = kind == ModuleKind::MOD;
    std::string out;
    out.reserve(titleBytes.size() * 3);
    for (char ch : titleBytes) {
        const auto c = static_cast<unsigned char>(ch);
        appendUtf8(out, c < 0x80 || latin1 ? char32_t{c} : kCp437High[c - 0x80]);
    }
    return out;
}

bool isReservedDeviceName(std::string_view name) {
    std::string_view stem = name.substr(0, name.find('.'));
    // Windows drops trailing spaces before it looks: "CON .it" is the console too.
    stem = stem.substr(0, stem.find_last_not_of(' ') + 1);
    for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (equalsIgnoringAsciiCase(stem, device))
            return true;
    if (stem.size() < 4 ||
        !(equalsIgnoringAsciiCase(stem.substr(0, 3), "COM") || equalsIgnoringAsciiCase(stem.substr(0, 3), "LPT")))
        return false;
    // COM0 to COM9 (Windows now reserves 0 too), and the superscript digits that Windows takes as
    // 1 to 3 (code page 437 has "²").
    const std::string_view number = stem.substr(3);
    return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xc2\xb9" ||
           number == "\xc2\xb2" || number == "\xc2\xb3";
}

std::optional<std::string> nameFromTitle(std::string_view titleBytes, ModuleKind kind) {
    const bool onlySpacesAndDots = titleBytes.find_first_not_of(" .") == std::string_view::npos; // also true when empty
    if (onlySpacesAndDots)
        return std::nullopt;
    if (std::any_of(titleBytes.begin(), titleBytes.end(),
                    [kind](char c) { return isRefusedByte(static_cast<unsigned char>(c), kind); }))
        return std::nullopt;
    std::string name = titleToUtf8(titleBytes, kind);
    name += extensionOf(kind);
    if (isReservedDeviceName(name))
        return std::nullopt;
    return name;
}

std::string nameFromSource(std::string_view itemName, ModuleKind kind) {
    std::string name(itemName.substr(0, itemName.rfind('.')));
    name += extensionOf(kind);
    return name;
}

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && !isPathSeparator(path.back()))
        path += kSeparator;
    path += name;
    return path;
}

} // namespace zendrow
