#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zendrow {

/// What Enter in the source folder field does with its text where paths carry drive letters.
struct SourceTextSteps {
    std::optional<char> drive; ///< the drive to move the list to first (that drive's current folder)
    std::string path;          ///< then applied to the list as a path; empty applies nothing
};

/// Text that begins with a drive letter and a colon selects that drive when the list is on another
/// one (letters compared ignoring case), and the rest of the text is applied after it: "E:" on
/// drive C moves to drive E's current folder; "c:\music" on drive C applies "\music". Any other
/// text is applied as it stands.
SourceTextSteps splitDriveStep(std::string_view text, std::string_view currentFolder);

} // namespace zendrow
