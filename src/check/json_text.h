// JSON strings for the checker's report: escaped, and always valid UTF-8 so that any JSON
// reader takes the output, whatever bytes a script holds.
#pragma once

#include <string>

// `text` as a quoted JSON string. Bytes that do not form UTF-8 become U+FFFD.
std::string jsonString(const std::string& text);
