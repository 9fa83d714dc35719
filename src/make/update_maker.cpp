#include "make/update_maker.h"

#include <map>
#include <span>
#include <vector>

#include "commands/system/hash_command.h"
#include "make/patch_make.h"
#include "make/tree_listing.h"
#include "make/update_plan.h"
#include "make/update_script.h"
#include "os/file_data.h"
#include "os/files.h"
#include "os/sha256.h"
#include "run/failure_text.h"
#include "text/ascii.h"
#include "text/script_path.h"

namespace {

std::string describe(const os::Result& r) {
    const os::Failure& f = r.failure();
    return f.path + ": " + reasonFor(f.error);
}

bool readWhole(const std::string& path, std::vector<uint8_t>& out, std::string& why) {
    os::ExclusiveFile file(path);
    uint64_t size = 0;
    os::Result r = file.opened();
    if (r) r = file.size(size);
    if (r) {
        out.resize(static_cast<size_t>(size));
        size_t got = 0;
        r = file.readAt(0, out.data(), out.size(), got);
        if (r && got != out.size()) r = os::Result::fail(os::Operation::Read, path, os::NotTheOldVersion);
    }
    if (!r) why = describe(r);
    return r.ok();
}

// The directory `below` of `root` (made level by level where missing), held open.
os::Result openMade(const std::string& root, const std::string& below, os::Directory& out) {
    if (os::Result r = os::Directory::open(root, out); !r) return r;
    for (const std::string& element : paths::resolvedElements(below, false)) {
        os::Result made = out.createChild(element);
        if (!made && !os::isAlreadyThere(made.error())) return made;
        os::Directory child;
        if (os::Result r = out.openChild(element, child); !r) return r;
        out = std::move(child);
    }
    return {};
}

// The folder of the payload's part `part` that holds the file `path` (below the target).
std::string payloadPlace(const char* part, const std::string& path) {
    std::string place = std::string(PayloadFolder) + "\\" + part;
    if (path.find('\\') != std::string::npos) place += "\\" + paths::parentOf(path);
    return place;
}

class Maker {
public:
    Maker(const MakeOptions& options, std::ostream& out, std::ostream& err, MakeReport& report)
        : o_(options), out_(out), err_(err), report_(report) {}

    bool run() {
        for (const std::string* text : {&o_.caption, &o_.target})
            for (const unsigned char c : *text)
                if (c < 0x20 || c == 0x7F) return fail("--name and --target must be one line without control characters");
        std::vector<TreeEntry> old;
        std::vector<TreeEntry> made;
        if (!list(o_.oldRoot, old) || !list(o_.newRoot, made) || !prepareOut()) return false;
        for (const TreeEntry& e : made)
            if (!e.directory) report_.newBytes += e.size;
        std::map<std::string, uint64_t> oldSizes;
        std::map<std::string, uint64_t> newSizes;
        for (const TreeEntry& e : old)
            if (!e.directory) oldSizes[e.path] = e.size;
        for (const TreeEntry& e : made)
            if (!e.directory) newSizes[e.path] = e.size;
        bool failed = false;
        const UpdatePlan plan = planUpdate(old, made, [&](const std::string& path) {
            if (failed || oldSizes[path] != newSizes[path]) return false;
            const Digest* before = oldHash(path);
            const Digest* after = newHash(path);
            if (!before || !after) failed = true;
            return !failed && *before == *after;
        });
        if (failed) return false;
        UpdateContents contents;
        contents.caption = o_.caption;
        contents.target = o_.target;
        for (const std::string& path : plan.changed)
            if (!patchOrCopy(path, oldSizes[path], newSizes[path], contents)) return false;
        for (const std::string& path : plan.added)
            if (!copyWhole(path, contents)) return false;
        for (const std::string& path : plan.removed)
            if (!check(path, contents)) return false;
        for (const std::string& directory : plan.removedDirectories)
            for (const TreeEntry& e : old)
                if (!e.directory && paths::isWithin(e.path, directory) && !check(e.path, contents)) return false;
        contents.deleted = plan.removedDirectories;
        contents.deleted.insert(contents.deleted.end(), plan.removed.begin(), plan.removed.end());
        contents.madeDirectories = plan.emptyDirectories;
        report_.deleted = contents.deleted.size();
        report_.directories = contents.madeDirectories.size();
        return writeScript(contents) && copyUpdater();
    }

private:
    bool fail(const std::string& what) {
        err_ << "updater-make: " << what << "\n";
        return false;
    }

    bool list(const std::string& root, std::vector<TreeEntry>& out) {
        std::string link;
        if (os::Result r = listTree(root, out, link); !r)
            return fail(link.empty() ? describe(r) : root + ": holds a link, which an update cannot carry: " + link);
        // Windows names ignore letter case: two that differ only by it would be one file there.
        std::map<std::string, std::string> folded;
        for (const TreeEntry& e : out) {
            if (!scriptCanName(e.path))
                return fail(root + ": a script cannot name " + e.path + " (a comma, <, >, {, }, a quote, or a blank at "
                                                                        "an end of a name)");
            const auto [at, fresh] = folded.emplace(ascii::lowerCase(e.path), e.path);
            if (!fresh) return fail(root + ": " + at->second + " and " + e.path + " are one name on Windows");
        }
        return true;
    }

    bool prepareOut() {
        std::vector<TreeEntry> already;
        std::string link;
        os::Directory out;
        if (os::Result r = os::Directory::open(o_.out, out); r) {
            if (os::Result listed = listTree(o_.out, already, link); !listed) return fail(describe(listed));
            if (!already.empty()) return fail(o_.out + ": is not empty; an update is made in a new folder");
        } else if (os::isNotFound(r.error())) {
            if (os::Result made = openMade(paths::directoryOf(o_.out), paths::lastElement(o_.out), out); !made)
                return fail(describe(made));
        } else {
            return fail(describe(r));
        }
        for (const std::string& tree : {o_.oldRoot, o_.newRoot})
            if (paths::isWithin(os::finalPath(o_.out), os::finalPath(tree)))
                return fail(o_.out + ": lies inside " + tree);
        return true;
    }

    // The SHA-256 of a file of a version, read once however often it is asked for; null when
    // it cannot be read (told).
    const Digest* hashIn(const std::string& root, std::map<std::string, Digest>& known, const std::string& path) {
        if (const auto found = known.find(path); found != known.end()) return &found->second;
        Digest digest{};
        if (os::Result r = fileSha256(Text(paths::join(root, path)), block_, digest); !r) {
            fail(describe(r));
            return nullptr;
        }
        return &(known[path] = digest);
    }
    const Digest* oldHash(const std::string& path) { return hashIn(o_.oldRoot, oldHashes_, path); }
    const Digest* newHash(const std::string& path) { return hashIn(o_.newRoot, newHashes_, path); }

    bool check(const std::string& path, UpdateContents& contents) {
        const Digest* digest = oldHash(path);
        if (!digest) return false;
        contents.checked.push_back({path, digestHex(*digest)});
        return true;
    }

    bool patchOrCopy(const std::string& path, uint64_t oldSize, uint64_t newSize, UpdateContents& contents) {
        // Both versions are held in memory, the old one with its suffix index: beyond that,
        // the file goes whole.
        if (oldSize > delta::LargestOld || newSize > delta::LargestOld) return copyWhole(path, contents);
        std::vector<uint8_t> before;
        std::vector<uint8_t> after;
        std::string why;
        const std::string oldPath = paths::join(o_.oldRoot, path);
        const std::string newPath = paths::join(o_.newRoot, path);
        std::string patch;
        os::Directory newDirectory;
        if (os::Result r = os::Directory::open(paths::directoryOf(newPath), newDirectory); !r) return fail(describe(r));
        os::FoundEntry entry;
        if (os::Result r = newDirectory.look(paths::lastElement(path), entry); !r) return fail(describe(r));
        if (!readWhole(oldPath, before, why) || !readWhole(newPath, after, why)) return fail(why);
        // The patch names the bytes it was made from, hashed as they were read: a file that
        // changed since it was first hashed must not make a patch for another version.
        const Digest oldDigest = os::sha256Of(before.data(), before.size());
        const Digest newDigest = os::sha256Of(after.data(), after.size());
        const Digest* known = oldHash(path);
        if (!known) return false;
        if (*known != oldDigest || (newHashes_.count(path) && newHashes_[path] != newDigest))
            return fail(path + ": changed while the update was being made");
        // A patch that cannot be made (no memory for the index) leaves the file to go whole.
        const bool made = delta::makePatch(before, after, oldDigest, newDigest, patch);
        if (made && patch.size() * PatchAtMostDenominator <= after.size() * PatchAtMostNumerator) {
            os::Directory into;
            if (os::Result r = openMade(o_.out, payloadPlace(PatchesFolder, path), into); !r)
                return fail(describe(r));
            const os::Result written = newDirectory.produceTo(
                entry.name, into, entry.name, false,
                [&](const os::Directory::ReadAt&, uint64_t, const os::Directory::Put& put) {
                    return put(patch.data(), patch.size());
                });
            if (!written) return fail(describe(written));
            contents.patched.push_back(path);
            contents.checked.push_back({path, digestHex(oldDigest)});
            ++report_.patched;
            report_.updateBytes += patch.size();
            out_ << "patched " << path << ": " << after.size() << " bytes, patch " << patch.size() << "\n";
            return true;
        }
        return copyWhole(path, contents);
    }

    bool copyWhole(const std::string& path, UpdateContents& contents) {
        const std::string newPath = paths::join(o_.newRoot, path);
        os::Directory from;
        os::Directory into;
        if (os::Result r = os::Directory::open(paths::directoryOf(newPath), from); !r) return fail(describe(r));
        if (os::Result r = openMade(o_.out, payloadPlace(FilesFolder, path), into); !r)
            return fail(describe(r));
        const std::string name = paths::lastElement(path);
        os::FoundEntry entry;
        if (os::Result r = from.look(name, entry); !r) return fail(describe(r));
        if (os::Result r = from.copyTo(name, into, name); !r) return fail(describe(r));
        contents.copied.push_back(path);
        ++report_.copied;
        report_.updateBytes += entry.size;
        out_ << "copied " << path << ": " << entry.size << " bytes\n";
        return true;
    }

    bool writeScript(const UpdateContents& contents) {
        os::Directory out;
        if (os::Result r = os::Directory::open(o_.out, out); !r) return fail(describe(r));
        std::string script;
        if (!updateScript(contents, script))
            return fail("too many files for one script: its main list would be longer than a value may be");
        if (os::Result r = out.writeNewFile("patch.ini", script); !r) return fail(describe(r));
        return true;
    }

    bool copyUpdater() {
        if (o_.updater.empty()) return true;
        os::Directory from;
        os::Directory out;
        if (os::Result r = os::Directory::open(paths::directoryOf(o_.updater), from); !r) return fail(describe(r));
        if (os::Result r = os::Directory::open(o_.out, out); !r) return fail(describe(r));
        if (os::Result r = from.copyTo(paths::lastElement(o_.updater), out, "patch.exe"); !r) return fail(describe(r));
        return true;
    }

    const MakeOptions& o_;
    std::ostream& out_;
    std::ostream& err_;
    MakeReport& report_;
    ByteBuffer block_;
    std::map<std::string, Digest> oldHashes_;
    std::map<std::string, Digest> newHashes_;
};

}  // namespace

bool makeUpdate(const MakeOptions& options, std::ostream& out, std::ostream& err, MakeReport& report) {
    report = {};
    return Maker(options, out, err, report).run();
}
