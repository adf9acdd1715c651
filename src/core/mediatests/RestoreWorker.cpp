#include "core/device/SectorIO.h"
#include "core/mediatests/BackupRestoreWorker.h"
#include "core/mediatests/ChunkTransfers.h"
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
        status_.setDone(kRestoreWriting, 0);
        TimerInit();

        const int written = writeImage(*ahead, s);
        if (written != 1)
            return written;
        ahead.reset();
        ReopenDevice(context_);
        status_.setDone(kRestoreVerifyingPhase, s);
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

    // Writes the image's s sectors onto the drive, each chunk's bytes read
    // from the image into the room of its write. Honours a stop after each
    // chunk and reports every 16th and the last; position is the chunk
    // before, stored after the report. 1 when every chunk went, else the
    // worker's result.
    int writeImage(AheadImageReader& reader, uint64_t s)
    {
        record_.position = 0;
        const uint64_t chunks = TransferChunkCount(s);
        // The image's failure waits until the chunks before it were written.
        int imageAction = 0, imageError = 0;
        uint64_t imageSector = 0;
        const auto fill = [&](const MovedChunk& chunk) {
            const size_t bytes = size_t(chunk.count) * 512;
            const uint8_t* had = nullptr;
            const int64_t got = reader.next(bytes, &had, chunk.bytes);
            if (got < 0 || uint64_t(got) < bytes) {
                imageAction = got < 0 ? str::kFailedRead : str::kFailedImageEnd;
                imageError = got < 0 ? int(-got) : 0;
                imageSector = chunk.sector;
                return false;
            }
            if (had != chunk.bytes)
                std::memcpy(chunk.bytes, had, bytes);
            return true;
        };
        int ended = -1;
        const auto written = [&](const MovedChunk& chunk) {
            if (chunk.error) {
                ended = HostFault(record_.handle.get(), chunk.error)
                            ? failWith(str::kFailedHostWrite, drive_, chunk.error)
                            : failWith(str::kFailedWrite, SectorObject(drive_, chunk.sector), chunk.error);
                return false;
            }
            status_.setDone(kRestoreWriting, chunk.sector + uint64_t(chunk.count));
            return onward(chunk, chunks, 0, &ended);
        };
        uint64_t reached = 0;
        const ChunksEnd end = WriteChunks(record_, 0, s, fill, written, &reached);
        // A run that ended early rewrote sectors up to the end of its last
        // request, which may lie past the last chunk it handled.
        status_.setDone(kRestoreWriting, reached);
        switch (end) {
        case ChunksEnd::Complete:
            return streamEnded(reader, s);
        case ChunksEnd::ByFill:
            if (imageAction == str::kFailedRead)
                return readFailed(reader, imageError, imageSector);
            return failWith(imageAction, path_, imageError);
        case ChunksEnd::ByDone:
            return ended;
        case ChunksEnd::NoMemory:
            break;
        }
        return failWith(str::kFailedMemory, drive_, ENOMEM);
    }

    // Reads the medium back (the volume bypasses the page cache) and
    // compares it with the image. 1 when equal, else the worker's result.
    int verify(uint64_t s)
    {
        std::unique_ptr<ImageReader> reader = job_.files->open(path_, &status_.failure);
        if (!reader)
            return fail();
        std::unique_ptr<AheadImageReader> ahead = ReadAhead(std::move(reader));
        record_.position = 0;
        const uint64_t chunks = TransferChunkCount(s);
        int ended = -1;
        const auto compared = [&](const MovedChunk& chunk) {
            const size_t bytes = size_t(chunk.count) * 512;
            const uint8_t* image = nullptr;
            const int64_t got = ahead->next(bytes, &image, buffer_.get());
            if (got < 0) {
                ended = readFailed(*ahead, int(-got), s);
                return false;
            }
            if (uint64_t(got) < bytes) {
                ended = failWith(str::kFailedImageEnd, path_, 0);
                return false;
            }
            if (chunk.error) {
                ended = failWith(str::kFailedRead, SectorObject(drive_, chunk.sector), chunk.error);
                return false;
            }
            if (std::memcmp(image, chunk.bytes, bytes) != 0) {
                int i = 0;
                while (std::memcmp(image + i * 512, chunk.bytes + i * 512, 512) == 0)
                    ++i;
                ended = failWith(str::kFailedVerify, SectorObject(drive_, chunk.sector + uint64_t(i)), 0);
                return false;
            }
            return onward(chunk, chunks, kRestoreVerifying, &ended);
        };
        switch (ReadChunks(record_, 0, s, compared)) {
        case ChunksEnd::Complete:
            return streamEnded(*ahead, s);
        case ChunksEnd::ByDone:
        case ChunksEnd::ByFill:
            return ended;
        case ChunksEnd::NoMemory:
            break;
        }
        return failWith(str::kFailedMemory, drive_, ENOMEM);
    }

    // After a chunk went: honours a stop, reports every 16th chunk and the
    // last with reportValue, then stores the chunk's first sector as the
    // position. False (with the worker's result in *ended) to end.
    bool onward(const MovedChunk& chunk, uint64_t chunks, int64_t reportValue, int* ended)
    {
        if (status_.state() == RUN_STOP) {
            *ended = stopped();
            return false;
        }
        if (chunk.index % 16 == 0 || chunk.index == chunks - 1)
            report(reportValue);
        record_.position = chunk.sector;
        return true;
    }

    // A compressed stream's checks stand at its end, past the last sector:
    // it is read to there before a pass over it counts as done. 1 when they
    // hold, else the worker's result.
    int streamEnded(AheadImageReader& reader, uint64_t s)
    {
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
