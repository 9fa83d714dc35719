// Windows attribute words derived from POSIX mode bits (and, later, mode bits from attribute
// words). Only the POSIX layer includes this.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace os::detail {

// The attribute word of the entry at `nativePath` itself, whose own name is `name`;
// InvalidAttributes when there is no such entry. A link is not followed, unless the path ends
// in "/": that names the directory the path leads to, and only a directory.
uint32_t entryAttributes(const std::string& nativePath, std::string_view name);

}  // namespace os::detail
