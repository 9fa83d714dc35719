#include "delta/patch_apply.h"

#include <zstd.h>

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

namespace delta {

namespace {

constexpr size_t BlockSize = 64 * 1024;
constexpr int64_t Reach = int64_t(1) << 62;

// One stream of the patch, decompressed as it is read.
class StreamReader {
public:
    StreamReader(RandomReader& patch, uint64_t begin, uint64_t length)
        : patch_(patch), next_(begin), end_(begin + length), context_(ZSTD_createDCtx()), input_(BlockSize) {
        if (context_ && ZSTD_isError(ZSTD_DCtx_setParameter(context_.get(), ZSTD_d_windowLogMax, WindowLog)))
            context_.reset();
    }
    bool ready() const { return context_ != nullptr; }

    // Exactly `n` bytes of the stream, or an outcome that says why not.
    Applied read(uint8_t* into, size_t n) {
        ZSTD_outBuffer output{into, n, 0};
        while (output.pos < n) {
            if (Applied refilled = refill(); refilled != Applied::Done) return refilled;
            if (frameEnded_) return Applied::Damaged;  // the stream ends short
            if (Applied stepped = decompress(output); stepped != Applied::Done) return stepped;
        }
        return Applied::Done;
    }

    // One byte, for the control stream's numbers.
    Applied readByte(uint8_t& byte) { return read(&byte, 1); }

    // Whether the stream holds nothing more: its frame ends exactly where its length does.
    Applied finish() {
        uint8_t spare = 0;
        ZSTD_outBuffer output{&spare, 1, 0};
        while (!frameEnded_) {
            if (Applied refilled = refill(); refilled != Applied::Done) return refilled;
            if (Applied stepped = decompress(output); stepped != Applied::Done) return stepped;
            if (output.pos != 0) return Applied::Damaged;
        }
        return buffer_.pos == buffer_.size && next_ == end_ ? Applied::Done : Applied::Damaged;
    }

private:
    // One call of the decompressor; a call that takes nothing and gives nothing means the
    // input ran out inside the frame.
    Applied decompress(ZSTD_outBuffer& output) {
        const size_t given = output.pos;
        const size_t taken = buffer_.pos;
        const size_t left = ZSTD_decompressStream(context_.get(), &output, &buffer_);
        if (ZSTD_isError(left)) return Applied::Damaged;
        if (left == 0) frameEnded_ = true;
        else if (output.pos == given && buffer_.pos == taken) return Applied::Damaged;
        return Applied::Done;
    }

    Applied refill() {
        if (buffer_.pos < buffer_.size || next_ == end_) return Applied::Done;
        const size_t n = static_cast<size_t>(std::min<uint64_t>(input_.size(), end_ - next_));
        if (!patch_.readAt(next_, input_.data(), n)) return Applied::ReadFailed;
        next_ += n;
        buffer_ = {input_.data(), n, 0};
        return Applied::Done;
    }

    struct Free {
        void operator()(ZSTD_DCtx* context) const { ZSTD_freeDCtx(context); }
    };
    RandomReader& patch_;
    uint64_t next_;
    uint64_t end_;
    std::unique_ptr<ZSTD_DCtx, Free> context_;
    std::vector<uint8_t> input_;
    ZSTD_inBuffer buffer_{input_.data(), 0, 0};
    bool frameEnded_ = false;
};

Applied readNumber(StreamReader& control, uint64_t& out) {
    out = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        uint8_t byte = 0;
        if (Applied read = control.readByte(byte); read != Applied::Done) return read;
        // The tenth byte may carry only the number's last bit.
        if (shift == 63 && byte > 1) return Applied::Damaged;
        out |= static_cast<uint64_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) return Applied::Done;
    }
    return Applied::Damaged;
}

Applied readStep(StreamReader& control, Step& step) {
    uint64_t seek = 0;
    for (uint64_t* field : {&step.diffLength, &step.extraLength, &seek})
        if (Applied read = readNumber(control, *field); read != Applied::Done) return read;
    step.seek = static_cast<int64_t>(seek >> 1 ^ (0 - (seek & 1)));
    return Applied::Done;
}

class Application {
public:
    Application(const PatchHeader& header, RandomReader& oldFile, RandomReader& patch, Writer& out)
        : header_(header),
          oldFile_(oldFile),
          out_(out),
          control_(patch, HeaderSize, header.controlSize),
          diff_(patch, HeaderSize + header.controlSize, header.diffSize),
          extra_(patch, HeaderSize + header.controlSize + header.diffSize, header.extraSize),
          old_(BlockSize),
          made_(BlockSize) {}

    Applied run() {
        if (!control_.ready() || !diff_.ready() || !extra_.ready()) return Applied::NoMemory;
        uint64_t written = 0;
        // Signed, as a seek may lead before the file's start; a step that reads there fails.
        int64_t oldAt = 0;
        for (bool first = true; written < header_.newSize; first = false) {
            Step step;
            if (Applied read = readStep(control_, step); read != Applied::Done) return read;
            // Only a first step may make nothing (it moves the old position alone): endless
            // empty steps would cost time without limit.
            if (step.diffLength == 0 && step.extraLength == 0 && !first) return Applied::Damaged;
            const uint64_t room = header_.newSize - written;
            if (step.diffLength > room || step.extraLength > room - step.diffLength) return Applied::Damaged;
            if (step.diffLength > 0) {
                if (oldAt < 0 || static_cast<uint64_t>(oldAt) > header_.oldSize ||
                    step.diffLength > header_.oldSize - static_cast<uint64_t>(oldAt))
                    return Applied::Damaged;
                if (Applied added = addDifferences(static_cast<uint64_t>(oldAt), step.diffLength);
                    added != Applied::Done)
                    return added;
                oldAt += static_cast<int64_t>(step.diffLength);
            }
            if (Applied copied = copyExtra(step.extraLength); copied != Applied::Done) return copied;
            written += step.diffLength + step.extraLength;
            // A seek beyond any file's reach is damage; bounding it keeps the sum from overflowing.
            if (step.seek > Reach || step.seek < -Reach) return Applied::Damaged;
            oldAt += step.seek;
            if (oldAt > Reach || oldAt < -Reach) return Applied::Damaged;
        }
        for (StreamReader* stream : {&control_, &diff_, &extra_})
            if (Applied finished = stream->finish(); finished != Applied::Done) return finished;
        return Applied::Done;
    }

private:
    Applied addDifferences(uint64_t from, uint64_t length) {
        while (length > 0) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(length, BlockSize));
            if (!oldFile_.readAt(from, old_.data(), n)) return Applied::ReadFailed;
            if (Applied read = diff_.read(made_.data(), n); read != Applied::Done) return read;
            for (size_t i = 0; i < n; ++i) made_[i] = static_cast<uint8_t>(made_[i] + old_[i]);
            if (!out_.write(made_.data(), n)) return Applied::WriteFailed;
            from += n;
            length -= n;
        }
        return Applied::Done;
    }

    Applied copyExtra(uint64_t length) {
        while (length > 0) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(length, BlockSize));
            if (Applied read = extra_.read(made_.data(), n); read != Applied::Done) return read;
            if (!out_.write(made_.data(), n)) return Applied::WriteFailed;
            length -= n;
        }
        return Applied::Done;
    }

    const PatchHeader& header_;
    RandomReader& oldFile_;
    Writer& out_;
    StreamReader control_;
    StreamReader diff_;
    StreamReader extra_;
    std::vector<uint8_t> old_;
    std::vector<uint8_t> made_;
};

}  // namespace

Applied applyPatch(const PatchHeader& header, RandomReader& oldFile, RandomReader& patch, Writer& out) {
    try {
        return Application(header, oldFile, patch, out).run();
    } catch (const std::bad_alloc&) {
        return Applied::NoMemory;
    }
}

}  // namespace delta
