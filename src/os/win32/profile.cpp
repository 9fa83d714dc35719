// The script read through the Windows profile functions themselves, with the path as the
// script gives it. Only Win32 code belongs here.
#include "os/profile.h"

#include <windows.h>

#include <cstring>

namespace os {

std::string profileString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& fallback, unsigned size) {
    if (size == 0) return {};
    std::string buffer(size, '\0');
    GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buffer.data(), size, file.c_str());
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

std::vector<std::string> profileSection(const std::string& file, const std::string& section, unsigned size) {
    if (size < 2) return {};
    std::string buffer(size, '\0');
    GetPrivateProfileSectionA(section.c_str(), buffer.data(), size, file.c_str());
    std::vector<std::string> entries;
    for (size_t pos = 0; pos < buffer.size() && buffer[pos] != '\0';) {
        size_t end = buffer.find('\0', pos);
        if (end == std::string::npos) end = buffer.size();
        entries.emplace_back(buffer, pos, end - pos);
        pos = end + 1;
    }
    return entries;
}

}  // namespace os
