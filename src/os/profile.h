// Reading the script (an INI file) with the results of the Windows profile functions.
// The file is only ever read; paths come in the script's form ("\" separators).
#pragma once

#include <string>
#include <vector>

namespace os {

// The value of `key` in `section`, or `fallback` when the key or the section is missing;
// cut to size - 1 bytes, as GetPrivateProfileStringA(section, key, fallback, buffer, size,
// file) leaves it in its buffer. Size 0 gives the empty string.
std::string profileString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& fallback, unsigned size);

// The entries of `section` in file order (normally "key=value"), as
// GetPrivateProfileSectionA lists them into a buffer of `size` bytes: the list ends at its
// first empty string, and a list that does not fit ends with its cut last entry. Sizes below
// 2 give no entries (the Windows function would write outside such a buffer).
std::vector<std::string> profileSection(const std::string& file, const std::string& section, unsigned size);

}  // namespace os
