#include "commands/system/patch_command.h"

#include "commands/file/file_actions.h"
#include "commands/file/progress_whole.h"
#include "commands/file/walker.h"
#include "commands/system/hash_command.h"
#include "delta/patch_apply.h"
#include "os/file_data.h"
#include "os/sha256.h"
#include "run/item_loop.h"

namespace {

// The installed file, read where the patch's steps point; keeps the first failure.
class OldFileReader : public delta::RandomReader {
public:
    OldFileReader(os::ExclusiveFile& file, std::string path) : file_(file), path_(std::move(path)) {}
    bool readAt(uint64_t offset, uint8_t* into, size_t n) override {
        size_t got = 0;
        failure_ = file_.readAt(offset, into, n, got);
        // Its size was checked against the patch's: a short read means it changed meanwhile.
        if (failure_ && got != n) failure_ = os::Result::fail(os::Operation::Read, path_, os::NotTheOldVersion);
        return failure_.ok();
    }
    os::Result failure_;

private:
    os::ExclusiveFile& file_;
    std::string path_;
};

// The patch, through the reading the new file's making gives.
class PatchReader : public delta::RandomReader {
public:
    PatchReader(const os::Directory::ReadAt& read, std::string path) : read_(read), path_(std::move(path)) {}
    bool readAt(uint64_t offset, uint8_t* into, size_t n) override {
        size_t got = 0;
        failure_ = read_(offset, into, n, got);
        // The header's lengths were checked against the file's: a short read means it changed.
        if (failure_ && got != n) failure_ = os::Result::fail(os::Operation::Read, path_, os::PatchDamaged);
        return failure_.ok();
    }
    os::Result failure_;

private:
    const os::Directory::ReadAt& read_;
    std::string path_;
};

// The new file's bytes, hashed on their way to the disk.
class HashingWriter : public delta::Writer {
public:
    explicit HashingWriter(const os::Directory::Put& put) : put_(put) {}
    bool write(const uint8_t* bytes, size_t n) override {
        hash.update(bytes, n);
        failure_ = put_(bytes, n);
        return failure_.ok();
    }
    os::Sha256 hash;
    os::Result failure_;

private:
    const os::Directory::Put& put_;
};

os::Result readPatchHeader(const Text& diff, delta::PatchHeader& header) {
    os::ExclusiveFile patch(diff.str());
    if (!patch.isOpen()) return patch.opened();
    uint64_t size = 0;
    if (os::Result r = patch.size(size); !r) return r;
    uint8_t bytes[delta::HeaderSize];
    size_t got = 0;
    if (os::Result r = patch.readAt(0, bytes, sizeof bytes, got); !r) return r;
    if (got != sizeof bytes || !delta::readHeader(bytes, size, header))
        return os::Result::fail(os::Operation::Read, diff.str(), os::PatchDamaged);
    return {};
}

// The new version of `file` made from the patch `diff` of `from`, as `put` takes it.
os::Result makeNewVersion(const Text& file, const Text& diff, const delta::PatchHeader& header,
                          const os::Directory::ReadAt& read, uint64_t patchSize, const os::Directory::Put& put) {
    os::ExclusiveFile installed(file.str());
    if (!installed.isOpen()) return installed.opened();
    uint64_t size = 0;
    if (os::Result r = installed.size(size); !r) return r;
    // Checked again: the file may have changed since its hash was taken.
    if (size != header.oldSize) return os::Result::fail(os::Operation::Read, file.str(), os::NotTheOldVersion);
    OldFileReader old(installed, file.str());
    PatchReader patch(read, diff.str());
    HashingWriter out(put);
    if (!out.hash.ready()) return os::Result::fail(os::Operation::Write, file.str(), os::OutOfMemory);
    delta::PatchHeader checked;
    uint8_t bytes[delta::HeaderSize];
    if (!patch.readAt(0, bytes, sizeof bytes)) return patch.failure_;
    // The patch is read again by the handle the new file is made through: it must be the one checked.
    if (!delta::readHeader(bytes, patchSize, checked) || checked.newHash != header.newHash ||
        checked.oldHash != header.oldHash)
        return os::Result::fail(os::Operation::Read, diff.str(), os::PatchDamaged);
    switch (delta::applyPatch(checked, old, patch, out)) {
    case delta::Applied::Done: break;
    case delta::Applied::Damaged: return os::Result::fail(os::Operation::Read, diff.str(), os::PatchDamaged);
    case delta::Applied::ReadFailed: return old.failure_ ? patch.failure_ : old.failure_;
    case delta::Applied::WriteFailed: return out.failure_;
    case delta::Applied::NoMemory: return os::Result::fail(os::Operation::Write, file.str(), os::OutOfMemory);
    }
    // What was made is what the patch promised, or it never takes the old file's place.
    if (out.hash.finish() != header.newHash) return os::Result::fail(os::Operation::Read, diff.str(), os::PatchDamaged);
    return {};
}

os::Result patchItem(RunContext& run, const Text& file, const Text& diff) {
    delta::PatchHeader header;
    if (os::Result r = readPatchHeader(diff, header); !r) return r;
    os::Directory from;
    os::Directory to;
    std::string patchName;
    std::string fileName;
    if (os::Result r = openParent(diff, from, patchName); !r) return r;
    if (os::Result r = openParent(file, to, fileName); !r) return r;
    os::FoundEntry source;
    if (os::Result r = from.look(patchName, source); !r) return r;
    // The file checked and read is opened by its path, which would follow a link; the entry
    // replaced is the link itself. A link is refused, as nothing ties the two together.
    os::FoundEntry installedEntry;
    if (os::Result r = to.look(fileName, installedEntry); !r) return r;
    if (os::isLinkWord(installedEntry.attributes))
        return os::Result::fail(os::Operation::Read, file.str(), os::UntrustedLink);
    ByteBuffer block;
    Digest installed{};
    if (os::Result r = fileSha256(file, block, installed); !r) return r;
    if (installed != header.oldHash) return os::Result::fail(os::Operation::Read, file.str(), os::NotTheOldVersion);
    FileActions actions(run);
    return actions.produce(from, source, to, fileName,
                           [&](const os::Directory::ReadAt& read, uint64_t size, const os::Directory::Put& put) {
                               return makeNewVersion(file, diff, header, read, size, put);
                           });
}

}  // namespace

std::unique_ptr<Command> loadPatchCommand(RunContext& run, const Text& section) {
    auto record = newRecord<PatchCommand>(run, section, "PATCH_INFO");
    if (!record || !readCommandKeys(run, *record, {{"FILE", &record->file}, {"DIFF", &record->diff}}))
        return nullptr;
    return record;
}

bool executePatchCommand(RunContext& run, Command& record) {
    auto& patch = static_cast<PatchCommand&>(record);
    const ItemList files(patch.file);
    const ItemList diffs(patch.diff);
    countWholeLater(run, diffs, files.count(), false, false);
    return forEachItem(run, patch, patch.file, "FILE", [&](int i) {
        const Text& file = files[i];
        const Text& diff = diffs[i];
        const os::Result patched = patchItem(run, file, diff);
        if (!patched && patched.error() == os::NotTheOldVersion)
            return run.succeeded(patched, MessageId::PatchWrongVersion, {file});
        return run.succeeded(patched, MessageId::PatchFailed, {file, diff});
    });
}
