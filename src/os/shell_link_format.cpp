// The shell link encoder: a header, the target as a list of shell items, the target as a
// local path (link info), the strings, and the end mark. Little-endian throughout.
#include "os/shell_link_format.h"

#include <cstdint>
#include <vector>

namespace os {

namespace {

constexpr uint32_t HasLinkTargetIdList = 0x01;
constexpr uint32_t HasLinkInfo = 0x02;
constexpr uint32_t HasWorkingDir = 0x10;
constexpr uint32_t HasArguments = 0x20;
constexpr uint32_t IsUnicode = 0x80;

constexpr uint32_t headerSize = 0x4C;
constexpr uint32_t linkInfoHeaderSize = 0x24;  // with the UTF-16 copies of the paths
constexpr uint32_t volumeIdAndLocalBasePath = 0x01;
constexpr uint32_t driveFixed = 3;

constexpr uint8_t rootFolderItem = 0x1F;
constexpr uint8_t myComputerSortIndex = 0x50;
constexpr uint8_t volumeItem = 0x2F;
constexpr size_t volumeItemSize = 25;
// A file entry whose name is held in UTF-16, so that no name needs the system's code page.
constexpr uint8_t directoryItem = 0x35;
constexpr uint8_t fileItem = 0x36;
constexpr uint16_t directoryAttribute = 0x10;

// {00021401-0000-0000-C000-000000000046}, the shell link class, as stored.
constexpr uint8_t shellLinkClass[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                        0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
// {20D04FE0-3AEA-1069-A2D8-08002B30309D}, the computer folder that drives hang under.
constexpr uint8_t myComputerClass[16] = {0xE0, 0x4F, 0xD0, 0x20, 0xEA, 0x3A, 0x69, 0x10,
                                         0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D};

class Bytes {
public:
    void u8(uint8_t v) { out_.push_back(static_cast<char>(v)); }
    void u16(uint32_t v) {
        u8(v & 0xFF);
        u8((v >> 8) & 0xFF);
    }
    void u32(uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void zeros(size_t n) { out_.append(n, '\0'); }
    void raw(const uint8_t* p, size_t n) { out_.append(reinterpret_cast<const char*>(p), n); }
    void text(const std::string& s) { out_ += s; }
    void utf16(const std::u16string& s) {
        for (char16_t c : s) u16(c);
    }
    void append(const Bytes& other) { out_ += other.out_; }
    size_t size() const { return out_.size(); }
    std::string& str() { return out_; }

private:
    std::string out_;
};

// UTF-8 to UTF-16; a byte that starts no valid sequence becomes U+FFFD.
std::u16string toUtf16(const std::string& s) {
    constexpr char32_t smallest[] = {0, 0x80, 0x800, 0x10000};  // below these a sequence is overlong
    std::u16string out;
    size_t i = 0;
    while (i < s.size()) {
        const auto lead = static_cast<unsigned char>(s[i]);
        int extra = -1;
        char32_t c = 0;
        if (lead < 0x80) {
            extra = 0;
            c = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            c = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            c = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            c = lead & 0x07;
        }
        bool valid = extra >= 0 && i + extra < s.size();
        for (int k = 1; valid && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(s[i + k]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        if (valid && (c < smallest[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) valid = false;
        if (!valid) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += extra + 1;
    }
    return out;
}

// A target's root ("C:\" or a leading "\") and the names below it. A target without a root
// keeps its whole text as one name, as the shell keeps a path it cannot place.
struct TargetPath {
    std::string root;
    std::vector<std::string> names;
};

TargetPath splitTarget(const std::string& target) {
    TargetPath path;
    size_t rest = 0;
    const bool drive = target.size() >= 2 && target[1] == ':' &&
                       ((target[0] >= 'A' && target[0] <= 'Z') || (target[0] >= 'a' && target[0] <= 'z'));
    if (drive) {
        path.root = target.substr(0, 2) + "\\";
        rest = 2;
    } else if (!target.empty() && target[0] == '\\') {
        path.root = "\\";
    } else {
        if (!target.empty()) path.names.push_back(target);
        return path;
    }
    while (rest < target.size()) {
        size_t end = target.find('\\', rest);
        if (end == std::string::npos) end = target.size();
        if (end > rest) path.names.push_back(target.substr(rest, end - rest));
        rest = end + 1;
    }
    return path;
}

bool appendItem(Bytes& list, const Bytes& item) {
    if (item.size() + 2 > 0xFFFF) return false;
    list.u16(static_cast<uint32_t>(item.size() + 2));
    list.append(item);
    return true;
}

bool appendTargetIdList(Bytes& out, const std::string& target) {
    const TargetPath path = splitTarget(target);
    Bytes list;
    if (!path.root.empty()) {
        Bytes computer;
        computer.u8(rootFolderItem);
        computer.u8(myComputerSortIndex);
        computer.raw(myComputerClass, sizeof myComputerClass);
        Bytes volume;
        volume.u8(volumeItem);
        volume.text(path.root);
        volume.zeros(volumeItemSize - 3 - path.root.size());
        if (!appendItem(list, computer) || !appendItem(list, volume)) return false;
    }
    for (size_t i = 0; i < path.names.size(); ++i) {
        const bool last = i + 1 == path.names.size();
        Bytes entry;
        entry.u8(last ? fileItem : directoryItem);
        entry.u8(0);
        entry.u32(0);  // size, then the date and time of the last write: not known here
        entry.u32(0);
        entry.u16(last ? 0 : directoryAttribute);
        entry.utf16(toUtf16(path.names[i]));
        entry.u16(0);
        if (!appendItem(list, entry)) return false;
    }
    list.u16(0);
    if (list.size() > 0xFFFF) return false;
    out.u16(static_cast<uint32_t>(list.size()));
    out.append(list);
    return true;
}

// The target as a local path on a fixed volume, in the system's code page and in UTF-16.
void appendLinkInfo(Bytes& out, const std::string& target) {
    constexpr uint32_t volumeIdSize = 17;  // the four fields and an empty label
    const uint32_t basePathOffset = linkInfoHeaderSize + volumeIdSize;
    const uint32_t suffixOffset = basePathOffset + static_cast<uint32_t>(target.size()) + 1;
    const uint32_t basePathUnicodeOffset = suffixOffset + 1;
    const std::u16string wide = toUtf16(target);
    const uint32_t suffixUnicodeOffset = basePathUnicodeOffset + 2 * static_cast<uint32_t>(wide.size() + 1);
    const uint32_t size = suffixUnicodeOffset + 2;

    out.u32(size);
    out.u32(linkInfoHeaderSize);
    out.u32(volumeIdAndLocalBasePath);
    out.u32(linkInfoHeaderSize);  // the volume id follows the header
    out.u32(basePathOffset);
    out.u32(0);  // no network location
    out.u32(suffixOffset);
    out.u32(basePathUnicodeOffset);
    out.u32(suffixUnicodeOffset);
    out.u32(volumeIdSize);
    out.u32(driveFixed);
    out.u32(0);     // serial number
    out.u32(0x10);  // the label follows the four fields
    out.u8(0);
    out.text(target);
    out.u8(0);
    out.u8(0);  // empty common path suffix
    out.utf16(wide);
    out.u16(0);
    out.u16(0);
}

bool appendString(Bytes& out, const std::string& s) {
    const std::u16string wide = toUtf16(s);
    if (wide.size() > 0xFFFF) return false;
    out.u16(static_cast<uint32_t>(wide.size()));
    out.utf16(wide);
    return true;
}

}  // namespace

bool encodeShellLink(const ShortcutFields& fields, std::string& bytes) {
    uint32_t flags = HasLinkTargetIdList | HasLinkInfo | IsUnicode;
    if (!fields.workingDirectory.empty()) flags |= HasWorkingDir;
    if (!fields.arguments.empty()) flags |= HasArguments;

    Bytes out;
    out.u32(headerSize);
    out.raw(shellLinkClass, sizeof shellLinkClass);
    out.u32(flags);
    // Attributes, three times and the size of the target: the shell fills them from the
    // target when it exists; they only help it find a target that has moved.
    out.zeros(4 + 3 * 8 + 4);
    out.u32(0);  // icon index
    out.u32(fields.showCommand == ShowUnset ? ShowNormal : fields.showCommand);
    out.u16(0);  // hot key
    out.zeros(2 + 4 + 4);

    if (!appendTargetIdList(out, fields.target)) return false;
    appendLinkInfo(out, fields.target);
    if ((flags & HasWorkingDir) && !appendString(out, fields.workingDirectory)) return false;
    if ((flags & HasArguments) && !appendString(out, fields.arguments)) return false;
    out.u32(0);  // no extra data blocks
    bytes = std::move(out.str());
    return true;
}

}  // namespace os
