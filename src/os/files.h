// Files and directories with the Win32 shapes the commands are written against: paths in
// script form ("\" separators), attribute words, searches with "*" and "?" in the last element.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace os {

constexpr uint32_t InvalidAttributes = 0xFFFFFFFF;
constexpr uint32_t AttributeReadOnly = 0x01;
constexpr uint32_t AttributeHidden = 0x02;
constexpr uint32_t AttributeSystem = 0x04;
constexpr uint32_t AttributeDirectory = 0x10;
constexpr uint32_t AttributeArchive = 0x20;
constexpr uint32_t AttributeNormal = 0x80;
constexpr uint32_t AttributeReparsePoint = 0x400;

struct FoundEntry {
    std::string name;     // the entry's own name, no directory
    uint32_t attributes;  // its attribute word
};

// A directory search (FindFirstFileA and its successors). A pattern may hold "*" and "?"
// in its last element; "*.*" matches every name; a trailing separator finds nothing. A
// pattern without wildcards finds that one entry (a directory's own entry, not its
// contents). A listing includes "." and ".." when they match, as Windows lists them; callers
// skip them by name. The search is released on every way out, at the latest by the destructor.
class DirectorySearch {
public:
    explicit DirectorySearch(const std::string& pattern);
    ~DirectorySearch();
    DirectorySearch(const DirectorySearch&) = delete;
    DirectorySearch& operator=(const DirectorySearch&) = delete;

    bool found() const;              // an entry is current
    const FoundEntry& entry() const;  // valid while found()
    bool next();                      // moves on; false when no entry is left

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// GetFileAttributesA: the attribute word, or InvalidAttributes. A link is not followed; a
// path with a trailing separator names a directory (and only a directory).
uint32_t fileAttributes(const std::string& path);

}  // namespace os

// Changing the file system: the calls that COPY, MOVE, DELETE, MAKEDIR and ATTR make. Each is
// one Win32 call (or the few that one step takes) and says only whether it succeeded.
namespace os {

// CopyFileA with fail-if-exists: a new file `to` with the contents, attribute word and
// last-write time of the file `from`. A copy that fails part-way removes what it wrote.
bool copyFile(const std::string& from, const std::string& to);

// The link `from` itself copied to a new `to` (CopyFileExA with COPY_FILE_COPY_SYMLINK): a
// link to the same place. What it leads to is neither read nor changed.
bool copyLink(const std::string& from, const std::string& to);

// MoveFileA: the file or directory under a new name; anything already at `to` makes it
// fail. A file also moves to another volume (copied, then the original removed); a
// directory moves only within one.
bool moveFile(const std::string& from, const std::string& to);

// MoveFileExA with MOVEFILE_REPLACE_EXISTING, within one volume: `to` becomes `from` in one
// step, so that it is at every moment the old file or the new one, never a mixture. A
// read-only file or a directory at `to` makes it fail.
bool replaceFile(const std::string& from, const std::string& to);

// DeleteFileA. Windows refuses a read-only file; the POSIX layer leaves that refusal to the
// caller, which has the file's attribute word from its listing already (a second look at
// every file would cost as much as the deletion).
bool deleteFile(const std::string& path);

// CreateDirectoryA: anything already of that name makes it fail.
bool createDirectory(const std::string& path);

// RemoveDirectoryA: only an empty directory, and not a read-only one.
bool removeDirectory(const std::string& path);

// Removes the link (or junction) at `path` itself, never what it leads to; fails when `path`
// is not a link.
bool removeLink(const std::string& path);

// SetFileAttributesA: the whole attribute word replaced.
bool setFileAttributes(const std::string& path, uint32_t attributes);

// Where `path` physically is (GetFinalPathNameByHandleA): every link and alias on the way
// resolved, in script form; empty when nothing has that name. Two paths name the same place
// exactly when their final paths are equal.
std::string finalPath(const std::string& path);

}  // namespace os
