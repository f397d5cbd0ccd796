#pragma once

#include <string>
#include <string_view>

namespace zendrow {

/// A file name or path as it is shown to the user, so that no name can forge lines or drive a
/// terminal. A plain name (valid UTF-8, no control character, no space at either end) is shown as
/// it is. Any other is quoted the way a shell takes it back: '...' when only its end spaces need
/// showing, else $'...' with C escapes (\n, \t, \x1b, \xff for a byte that is not UTF-8, \\, \').
/// Control characters include C1 controls, line and paragraph separators and text-direction controls.
std::string displayName(std::string_view name);

/// A message as it is shown to the user (a reason with its paths in quotes): control characters
/// and bytes that are not UTF-8 become C escapes as in displayName; everything else stays as it is.
std::string displayMessage(std::string_view message);

} // namespace zendrow
