#include "engine/source_text.h"

#include "engine/ascii_text.h"

namespace zendrow {

SourceTextSteps splitDriveStep(std::string_view text, std::string_view currentFolder) {
    const bool hasDrive = text.size() >= 2 && asciiIsLetter(text[0]) && text[1] == ':';
    if (!hasDrive)
        return {std::nullopt, std::string(text)};
    SourceTextSteps steps{std::nullopt, std::string(text.substr(2))};
    if (currentFolder.empty() || asciiLower(currentFolder.front()) != asciiLower(text[0]))
        steps.drive = text[0];
    return steps;
}

} // namespace zendrow
