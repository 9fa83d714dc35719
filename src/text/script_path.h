// Paths in the script's form ("\" separators), taken apart and put together by their text
// alone: the one place that knows where a path's directory ends and its name begins, and how
// "." and ".." steps resolve. Pure C++: no system call.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace paths {

// Everything before the last separator ("C:\a\b" gives "C:\a"); the whole path when it has
// none, as a script's list syntax takes the items before its last.
std::string parentOf(std::string_view path);
// Everything after the last separator; the whole path when there is none.
std::string lastElement(std::string_view path);
// The directory to open for what `path` names: its parent, or "." for a path of one element,
// which lies in the current directory. "\name" lies in the root, whose path is empty.
std::string directoryOf(std::string_view path);
// `name` inside `directory`.
std::string join(std::string_view directory, std::string_view name);
// The path without the separators it ends in ("C:\dst\" names the directory "C:\dst").
std::string withoutTrailingSeparators(std::string_view path);
// The part before the last "." of the last element, or the whole path when that element has
// none: what a file is called apart from its extension.
std::string withoutExtension(std::string_view path);
// True when `inner` is `tree` itself or lies below it, by their text.
bool isWithin(std::string_view inner, std::string_view tree);

// The elements of `path` (split at "\" and "/") with its "." and ".." steps resolved as the
// Windows path functions resolve them before they open anything: "." and empty elements
// dropped, ".." taking the element before it. A ".." with nothing before it is dropped when
// `keepLeadingParents` is false (above a root is that root) and kept when it is true (above
// a relative start only the system knows where).
std::vector<std::string> resolvedElements(std::string_view path, bool keepLeadingParents);

}  // namespace paths
