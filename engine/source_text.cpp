#include "engine/source_text.h"

#include <cctype>

namespace zendrow {

namespace {
char upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}
} // namespace

SourceTextSteps splitDriveStep(std::string_view text, std::string_view currentFolder) {
    const bool hasDrive = text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':';
    if (!hasDrive)
        return {std::nullopt, std::string(text)};
    SourceTextSteps steps{std::nullopt, std::string(text.substr(2))};
    if (currentFolder.empty() || upper(currentFolder.front()) != upper(text[0]))
        steps.drive = text[0];
    return steps;
}

} // namespace zendrow
