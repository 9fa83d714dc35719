// The patch maker and applier alone, file to file, for the benchmark of patches against other
// differencing tools (scripts/bench-patches): "make OLD NEW PATCH", "apply OLD PATCH NEW",
// "sha256 FILE". The updater's own PATCH adds only the checks and the swap around the same
// applier.
#include <cstdio>
#include <string>
#include <vector>

#include "delta/patch_apply.h"
#include "make/patch_make.h"
#include "os/sha256.h"

namespace {

bool readFile(const char* path, std::vector<uint8_t>& out) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    uint8_t block[1 << 16];
    size_t n = 0;
    while ((n = std::fread(block, 1, sizeof block, file)) > 0) out.insert(out.end(), block, block + n);
    const bool read = !std::ferror(file);
    std::fclose(file);
    return read;
}

class FileReader : public delta::RandomReader {
public:
    explicit FileReader(FILE* file) : file_(file) {}
    bool readAt(uint64_t offset, uint8_t* into, size_t n) override {
        return fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0 && std::fread(into, 1, n, file_) == n;
    }

private:
    FILE* file_;
};

class FileWriter : public delta::Writer {
public:
    explicit FileWriter(FILE* file) : file_(file) {}
    bool write(const uint8_t* bytes, size_t n) override { return std::fwrite(bytes, 1, n, file_) == n; }

private:
    FILE* file_;
};

int make(const char* oldPath, const char* newPath, const char* patchPath) {
    std::vector<uint8_t> old;
    std::vector<uint8_t> made;
    if (!readFile(oldPath, old) || !readFile(newPath, made)) return 1;
    std::string patch;
    const Digest from = os::sha256Of(old.data(), old.size());
    if (!delta::makePatch(old, made, from, os::sha256Of(made.data(), made.size()), patch)) return 1;
    FILE* out = std::fopen(patchPath, "wb");
    if (!out) return 1;
    const bool written = std::fwrite(patch.data(), 1, patch.size(), out) == patch.size();
    return std::fclose(out) == 0 && written ? 0 : 1;
}

int apply(const char* oldPath, const char* patchPath, const char* newPath) {
    FILE* old = std::fopen(oldPath, "rb");
    FILE* patch = std::fopen(patchPath, "rb");
    FILE* out = std::fopen(newPath, "wb");
    if (!old || !patch || !out) return 1;
    uint8_t header[delta::HeaderSize];
    fseeko(patch, 0, SEEK_END);
    const uint64_t size = static_cast<uint64_t>(ftello(patch));
    FileReader patchReader(patch);
    FileReader oldReader(old);
    FileWriter writer(out);
    delta::PatchHeader read;
    if (!patchReader.readAt(0, header, sizeof header) || !delta::readHeader(header, size, read)) return 1;
    const bool applied = delta::applyPatch(read, oldReader, patchReader, writer) == delta::Applied::Done;
    std::fclose(old);
    std::fclose(patch);
    return std::fclose(out) == 0 && applied ? 0 : 1;
}

int sha256(const char* path) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return 1;
    os::Sha256 hash;
    static uint8_t block[256 * 1024];
    size_t n = 0;
    while ((n = std::fread(block, 1, sizeof block, file)) > 0) hash.update(block, n);
    std::fclose(file);
    std::printf("%s\n", digestHex(hash.finish()).c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string verb = argc > 1 ? argv[1] : "";
    if (verb == "make" && argc == 5) return make(argv[2], argv[3], argv[4]);
    if (verb == "apply" && argc == 5) return apply(argv[2], argv[3], argv[4]);
    if (verb == "sha256" && argc == 3) return sha256(argv[2]);
    std::fprintf(stderr, "usage: patch_tool make OLD NEW PATCH | apply OLD PATCH NEW | sha256 FILE\n");
    return 2;
}
