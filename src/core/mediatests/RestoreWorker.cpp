#include "core/device/SectorIO.h"
#include "core/mediatests/BackupRestoreWorker.h"
#include "core/mediatests/OverlappedImages.h"
#include "core/mediatests/TransferIO.h"
#include "core/run/SharedContext.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qv {
namespace {

class Restore {
public:
    Restore(SharedContext& context, TransferJob& job)
        : context_(context), record_(*context.device), status_(*context.status), job_(job)
    {
    }

    int run()
    {
        record_.position = 0;
        record_.total = 0;
        const FileRequest request{false, job_.offerCompressed ? ImageDialogFilter(false) : ImageFilter(), ""};
        if (!job_.chooser->chooseFile(request, &path_)) {
            status_.setState(RUN_STOP);
            report(1);
            return 0;
        }
        job_.path = path_;
        drive_ = DrivePath(record_);
        if (job_.files->onDrive(path_, drive_, &status_.failure))
            return fail();
        std::unique_ptr<ImageReader> reader = job_.files->open(path_, &status_.failure);
        buffer_ = AllocateTransferBuffer();
        if (!reader || !buffer_)
            return reader ? failWith(str::kFailedMemory, path_, ENOMEM) : fail();

        // The medium stays untouched until the image is known to fit.
        const uint64_t limit = uint64_t(record_.sectorCount) * 512;
        uint64_t length = 0;
        if (reader->knownLength()) {
            length = *reader->knownLength();
        } else {
            const int counted = countStream(*reader, limit, &length);
            if (counted != 1)
                return counted;
            reader = job_.files->open(path_, &status_.failure);
            if (!reader)
                return fail();
        }
        const uint64_t s = length / 512;
        if (s > record_.sectorCount) {
            status_.setState(RUN_TOO_LARGE);
            report(0);
            return 0;
        }
        // Only whole sectors are an image: nothing else is written over the
        // medium, and no tail of one is dropped unsaid.
        if (length == 0)
            return failWith(str::kFailedImageEmpty, path_, 0);
        if (length % 512 != 0) {
            std::string sizes = LoadText(str::kImageTailSizes);
            sizes.replace(sizes.find("%1"), 2, std::to_string(length));
            sizes.replace(sizes.find("%2"), 2, "512");
            return failWith(str::kFailedImageTail, path_ + " (" + sizes + ")", 0);
        }
        // The drive is written straight from the blocks read ahead.
        std::unique_ptr<AheadImageReader> ahead = ReadAhead(std::move(reader));

        record_.total = s;
        if (!EnterRunState(status_, RUN_STARTING))
            return stopped();
        report(0);
        if (!EnterRunState(status_, RUN_ACTIVE))
            return stopped();
        std::memset(buffer_.get(), 0, kTransferChunkBytes);
        phase_ = Phase::Writing;
        WipeMediumStart(context_);
        TimerInit();

        const int written = eachImageChunk(*ahead, s, 0, [this](uint64_t p, int m, const uint8_t* bytes) {
            if (const int error = WriteChunkAt(record_, p, m, bytes))
                return failWith(str::kFailedWrite, SectorObject(drive_, p), error);
            return -1;
        });
        if (written != 1)
            return written;
        ahead.reset();
        ReopenDevice(context_);
        phase_ = Phase::Written;
        if (job_.verify && s > 0) {
            const int verified = verify(s);
            if (verified != 1)
                return verified;
        }
        status_.setState(RUN_DONE);
        report(0);
        return 1;
    }

private:
    void report(int64_t value) { status_.progressWindow->report(OP_RESTORE, value); }
    int fail()
    {
        status_.setState(RUN_FAILED);
        report(0);
        return 0;
    }
    int failWith(int action, const std::string& object, int error)
    {
        status_.failure.set(action, object, error);
        return fail();
    }
    int stopped()
    {
        report(0);
        return 0;
    }
    static int chunkAt(uint64_t p, uint64_t n)
    {
        return int(n - p < uint64_t(kTransferChunkSectors) ? n - p : kTransferChunkSectors);
    }

    // Decompresses the stream to learn its length, up to one sector past
    // the medium's capacity. 1 when counted, else the worker's result.
    int countStream(ImageReader& reader, uint64_t limit, uint64_t* length)
    {
        for (;;) {
            const int64_t n = reader.read(buffer_.get(), kTransferChunkBytes);
            if (n < 0)
                return readFailed(reader, int(-n), 0);
            if (n == 0)
                return 1;
            *length += uint64_t(n);
            if (*length >= limit + 512)
                return 1;
            if (status_.state() == RUN_STOP)
                return stopped();
        }
    }

    // Reads the medium back (the volume bypasses the page cache) and
    // compares it with the image. 1 when equal, else the worker's result.
    int verify(uint64_t s)
    {
        std::unique_ptr<ImageReader> reader = job_.files->open(path_, &status_.failure);
        if (!reader)
            return fail();
        std::unique_ptr<AheadImageReader> ahead = ReadAhead(std::move(reader));
        TransferBuffer medium = AllocateTransferBuffer();
        if (!medium)
            return failWith(str::kFailedMemory, drive_, ENOMEM);
        return eachImageChunk(*ahead, s, kRestoreVerifying, [this, &medium](uint64_t p, int m, const uint8_t* image) {
            if (const int error = ReadChunkAt(record_, p, m, medium.get()))
                return failWith(str::kFailedRead, SectorObject(drive_, p), error);
            if (std::memcmp(image, medium.get(), size_t(m) * 512) == 0)
                return -1;
            int i = 0;
            while (std::memcmp(image + i * 512, medium.get() + i * 512, 512) == 0)
                ++i;
            return failWith(str::kFailedVerify, SectorObject(drive_, p + uint64_t(i)), 0);
        });
    }

    // Reads the image chunk by chunk and hands each chunk (its first sector,
    // its sector count, its bytes in place or in the buffer) to transfer,
    // which returns -1 to go on or the worker's result to end with. Honours
    // a stop after each chunk and reports every 16th and the last with
    // reportValue; position is the chunk before, stored after the report.
    // 1 when every chunk went.
    template <typename Transfer>
    int eachImageChunk(AheadImageReader& reader, uint64_t s, int64_t reportValue, Transfer transfer)
    {
        record_.position = 0;
        const uint64_t chunks = TransferChunkCount(s);
        for (uint64_t k = 0; k < chunks; ++k) {
            const uint64_t p = k * kTransferChunkSectors;
            const int m = chunkAt(p, s);
            const uint8_t* bytes = nullptr;
            const int64_t got = reader.next(size_t(m) * 512, &bytes, buffer_.get());
            if (got < 0)
                return readFailed(reader, int(-got), p);
            if (uint64_t(got) < uint64_t(m) * 512)
                return failWith(str::kFailedImageEnd, path_, 0);
            const int ended = transfer(p, m, bytes);
            if (ended >= 0)
                return ended;
            if (status_.state() == RUN_STOP)
                return stopped();
            if (k % 16 == 0 || k == chunks - 1)
                report(reportValue);
            record_.position = p;
        }
        // A compressed stream's checks stand at its end, past the last
        // sector: it is read to there before the pass counts as done.
        const uint8_t* rest = nullptr;
        const int64_t end = reader.next(512, &rest, buffer_.get());
        if (end < 0)
            return readFailed(reader, int(-end), s);
        return 1;
    }

    // The image could not be read at sector p (the first not yet written
    // when writing). A stream that fails its own check says which, and
    // what that left on the drive.
    int readFailed(const ImageReader& reader, int error, uint64_t p)
    {
        if (error != EBADMSG)
            return failWith(str::kFailedRead, path_, error);
        std::string object = path_;
        if (const std::string damage = reader.damage(); !damage.empty())
            object += " (" + damage + ")";
        return failWith(str::kFailedImageCheck, object + "; " + driveState(p), 0);
    }

    std::string driveState(uint64_t p) const
    {
        switch (phase_) {
        case Phase::Untouched:
            return LoadText(str::kDriveUntouched);
        case Phase::Written:
            return LoadText(str::kDriveWholeImageWritten);
        case Phase::Writing:
            break;
        }
        // The start of the medium was zeroed before the image's first chunk.
        const uint64_t last = std::min<uint64_t>(std::max<uint64_t>(p, kZeroedStart), record_.sectorCount) - 1;
        std::string text = LoadText(str::kDriveRewrittenTo);
        text.replace(text.find("%1"), 2, std::to_string(last));
        return text;
    }

    SharedContext& context_;
    DeviceRecord& record_;
    RunStatus& status_;
    TransferJob& job_;
    // Sectors 0 to 1024, zeroed before the image is written.
    static constexpr uint64_t kZeroedStart = 1025;
    enum class Phase { Untouched, Writing, Written };

    std::string path_;
    std::string drive_;
    TransferBuffer buffer_;
    Phase phase_ = Phase::Untouched;
};

}  // namespace

int RestoreWorker(SharedContext& context, TransferJob& job)
{
    if (!context.device || !context.status || !context.status->progressWindow || !job.chooser || !job.files)
        return 0;
    return Restore(context, job).run();
}

}  // namespace qv
