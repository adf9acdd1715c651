#include "core/mediatests/BackupRestoreWorker.h"

#include "core/device/SectorIO.h"
#include "core/mediatests/ChunkTransfers.h"
#include "core/mediatests/OverlappedImages.h"
#include "core/mediatests/TransferIO.h"
#include "core/run/SharedContext.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "core/text/Units.h"

#include <cerrno>
#include <cstring>

namespace qv {
namespace {

bool endsWith(const std::string& text, const char* suffix)
{
    const size_t n = std::strlen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

}  // namespace

int BackupWorker(SharedContext& context, TransferJob& job)
{
    if (!context.device || !context.status || !context.status->progressWindow || !job.chooser || !job.files)
        return 0;
    DeviceRecord& record = *context.device;
    RunStatus& status = *context.status;
    auto report = [&](int64_t value) { status.progressWindow->report(OP_BACKUP, value); };
    // Before the image is begun: nothing to keep.
    auto refused = [&] {
        status.setState(RUN_FAILED);
        report(0);
        return 0;
    };

    RunFailure& failure = status.failure;
    job.imageBegun = false;
    job.partial = PartialImage{};
    record.total = record.sectorCount;
    record.position = 0;
    const FileRequest request{true, job.offerCompressed ? ImageDialogFilter(true) : ImageFilter(),
                              ProposedImageName(std::string(record.productText, strnlen(record.productText,
                                                                                        sizeof record.productText))
                                                    .c_str())};
    std::string path;
    if (!job.chooser->chooseFile(request, &path)) {
        status.setState(RUN_STOP);
        report(1);
        return 0;
    }
    // Where the dialog offered both, the name's ending decides.
    if (job.offerCompressed)
        job.compression = endsWith(path, ".zst") ? ImageCompression::Zstd : ImageCompression::None;
    if (job.compression == ImageCompression::Zstd && !endsWith(path, ".zst"))
        path += ".zst";
    job.path = path;

    const std::string drive = DrivePath(record);
    if (job.files->onDrive(path, drive, &failure))
        return refused();
    const uint64_t imageBytes = record.total * 512;
    ImageWriteOptions options;
    options.compression = job.compression;
    options.reserveBytes = job.compression == ImageCompression::None ? imageBytes : 0;
    options.checksum = job.checksum;
    options.replace = job.replace;
    options.inputs.drive = drive;
    std::unique_ptr<ImageWriter> file = job.files->create(path, options, &failure);
    if (!file)
        return refused();
    job.imageBegun = true;
    // The drive reads straight into the blocks the writing thread takes.
    std::unique_ptr<BehindImageWriter> writer = WriteBehind(std::move(file));
    // A stopped or failed backup keeps what it read (all a dying stick may
    // give) under a name that says it is partial, never under the image's.
    auto fail = [&] {
        job.partial = writer->keepPartial();
        status.setState(RUN_FAILED);
        report(0);
        return 0;
    };
    auto stopped = [&] {
        job.partial = writer->keepPartial();
        report(0);
        return 0;
    };

    auto writeFailed = [&](int error) {
        if (error == EFBIG) {
            // The target's file system has a file-size limit (FAT32: 4 GiB),
            // or the process has one (ulimit -f); the error's text says so.
            const uint64_t size = options.reserveBytes ? imageBytes : writer->bytesWritten();
            failure.set(str::kFailedFileSize, path + " (" + FormatSizeText(size) + ")" + LoadText(str::kFileSizeAdvice),
                        EFBIG);
        } else {
            failure.set(str::kFailedWrite, path, error);
        }
        return fail();
    };

    if (!EnterRunState(status, RUN_STARTING))
        return stopped();
    report(0);
    if (!EnterRunState(status, RUN_ACTIVE))
        return stopped();
    TimerInit();

    const uint64_t chunks = TransferChunkCount(record.total);
    // Ends the run the way a failed chunk does; -1 while it goes on.
    int ended = -1;
    const auto saved = [&](const MovedChunk& chunk) {
        if (chunk.error) {
            failure.set(str::kFailedRead, SectorObject(drive, chunk.sector), chunk.error);
            ended = fail();
            return false;
        }
        const size_t bytes = size_t(chunk.count) * 512;
        uint8_t* room = writer->room(bytes);
        if (!room) {
            const int error = writer->failure();
            if (error == ENOMEM) {
                failure.set(str::kFailedMemory, drive, ENOMEM);
                ended = fail();
            } else {
                ended = writeFailed(error);
            }
            return false;
        }
        std::memcpy(room, chunk.bytes, bytes);
        if (const int error = writer->commit(bytes)) {
            ended = writeFailed(error);
            return false;
        }
        if (status.state() == RUN_STOP) {
            ended = stopped();
            return false;
        }
        if (chunk.index % 16 == 0 || chunk.index == chunks - 1)
            report(int64_t(record.position));
        record.position += uint64_t(chunk.count);
        return true;
    };
    const ChunksEnd end = ReadChunks(record, 0, record.total, saved);
    if (end == ChunksEnd::NoMemory) {
        failure.set(str::kFailedMemory, drive, ENOMEM);
        return fail();
    }
    if (end != ChunksEnd::Complete)
        return ended;
    // The last blocks are written here: their errors are those of a write.
    // An image that could not take its name is kept as a partial one.
    RunFailure finishing;
    if (const int error = writer->finish(&finishing)) {
        if (finishing.empty())
            return writeFailed(error);
        failure = finishing;
        return fail();
    }
    status.setState(RUN_DONE);
    report(0);
    return 1;
}

}  // namespace qv
