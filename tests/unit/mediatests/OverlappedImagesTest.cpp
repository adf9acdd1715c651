#include "core/mediatests/OverlappedImages.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

namespace qv::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes counting(size_t n)
{
    Bytes bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = uint8_t(i * 7 + i / 251);
    return bytes;
}

// Hands out its bytes in pieces of odd sizes, as a decompressor does, then
// fails instead of ending when told to.
class PieceReader : public ImageReader {
public:
    PieceReader(Bytes bytes, int endError) : bytes_(std::move(bytes)), endError_(endError) {}
    int64_t read(void* out, size_t length) override
    {
        if (offset_ == bytes_.size())
            return endError_ ? -endError_ : 0;
        const size_t n = std::min({length, size_t(4093), bytes_.size() - offset_});
        std::memcpy(out, bytes_.data() + offset_, n);
        offset_ += n;
        return int64_t(n);
    }
    std::optional<uint64_t> knownLength() const override { return std::nullopt; }
    bool compressed() const override { return true; }

private:
    Bytes bytes_;
    size_t offset_ = 0;
    int endError_;
};

TEST(OverlappedImages, ReadAheadGivesEveryByteInOrderThenTheReadersEnd)
{
    // Three blocks and a bit: whole chunks in place, the last one short.
    const Bytes source = counting(3 * (1 << 20) + 70000);
    for (const int endError : {0, EIO}) {
        auto ahead = ReadAhead(std::make_unique<PieceReader>(source, endError));
        Bytes got;
        std::vector<uint8_t> scratch(65536);
        int inPlace = 0;
        int64_t n = 0;
        const uint8_t* bytes = nullptr;
        while ((n = ahead->next(65536, &bytes, scratch.data())) > 0) {
            inPlace += bytes != scratch.data();
            got.insert(got.end(), bytes, bytes + n);
        }
        EXPECT_EQ(n, -endError);
        EXPECT_EQ(got, source);
        // Pieces of 4093 bytes still fill whole blocks: only the tail is copied.
        EXPECT_EQ(inPlace, 3 * 16 + 1);
    }
}

class CollectingWriter : public ImageWriter {
public:
    int write(const void* bytes, size_t length) override
    {
        if (failAt && written.size() + length > failAt)
            return ENOSPC;
        const auto* p = static_cast<const uint8_t*>(bytes);
        written.insert(written.end(), p, p + length);
        return 0;
    }
    int finish(RunFailure*) override { return 0; }
    PartialImage keepPartial() override { return {"part", written.size() / 512}; }
    uint64_t bytesWritten() const override { return written.size(); }
    Bytes written;
    size_t failAt = 0;
};

TEST(OverlappedImages, WriteBehindKeepsTheOrderOfFilledAndCopiedBytesAndReportsALaterFailure)
{
    const Bytes source = counting(2 * (1 << 20) + 3 * 65536 + 512);
    CollectingWriter* inner = new CollectingWriter;
    auto writer = WriteBehind(std::unique_ptr<ImageWriter>(inner));
    size_t at = 0;
    for (int k = 0; at < source.size(); ++k) {
        const size_t n = std::min<size_t>(k % 3 == 2 ? 1000 : 65536, source.size() - at);
        if (k % 3 == 2) {
            ASSERT_EQ(writer->write(source.data() + at, n), 0);
        } else {
            uint8_t* room = writer->room(n);
            ASSERT_NE(room, nullptr);
            std::memcpy(room, source.data() + at, n);
            ASSERT_EQ(writer->commit(n), 0);
        }
        at += n;
    }
    RunFailure failure;
    EXPECT_EQ(writer->finish(&failure), 0);
    EXPECT_EQ(inner->written, source);

    // Whole chunks land page-aligned, for the drive's direct reads. The
    // target fills up after the first block: a later room() says so.
    auto full = std::make_unique<CollectingWriter>();
    full->failAt = 1 << 20;
    writer = WriteBehind(std::move(full));
    int error = 0;
    for (int k = 0; k < 200 && !error; ++k) {
        if (uint8_t* room = writer->room(65536)) {
            EXPECT_EQ(reinterpret_cast<uintptr_t>(room) % 4096, 0u);
            error = writer->commit(65536);
        } else
            error = writer->failure();
    }
    EXPECT_EQ(error, ENOSPC);
    EXPECT_EQ(writer->finish(&failure), ENOSPC);
}

}  // namespace
}  // namespace qv::test
