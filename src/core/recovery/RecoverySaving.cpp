#include "core/recovery/RecoverySaving.h"

#include "core/device/SectorIO.h"
#include "core/recovery/DirectoryScanner.h"
#include "core/recovery/FoundFileList.h"
#include "core/recovery/RecoveryProgress.h"
#include "core/recovery/SaveNames.h"
#include "core/text/StringIds.h"

#include <algorithm>
#include <vector>

namespace qv {
namespace {

constexpr uint64_t kSector = 512;
constexpr uint64_t kChunkSectors = 64;
constexpr uint64_t kChunkBytes = kSector * kChunkSectors;

enum class Copy { Done, Stopped, Failed };

struct Saving {
    SharedContext& context;
    std::string* error;
    double share = 0;
    size_t saved = 0;
    // The preview reads a file outside any run: no stop, no progress.
    bool paced = true;

    int fail(const std::string& what)
    {
        if (error)
            *error = what;
        context.status->setState(RUN_FAILED);
        SendRecoveryProgress(context, str::kReadError);
        return 0;
    }

    // Copies length bytes from startSector into file in 32 KiB chunks.
    Copy copy(uint64_t startSector, uint64_t length, OutputFile& file, std::string* what);
};

Copy Saving::copy(uint64_t startSector, uint64_t length, OutputFile& file, std::string* what)
{
    RunStatus& status = *context.status;
    const uint64_t sectors = (length + kSector - 1) / kSector;
    const uint64_t chunks = (sectors + kChunkSectors - 1) / kChunkSectors;
    std::vector<uint8_t> buffer(kChunkBytes);
    for (uint64_t i = 0; i < chunks; ++i) {
        if (paced && status.state() == RUN_STOP)
            return Copy::Stopped;
        if (paced && TimerElapsedSeconds() > 0.3) {
            SendRecoveryProgress(context, int64_t((double(saved) + double(i) / double(chunks)) * share));
            TimerStart();
        }
        const bool last = i + 1 == chunks;
        const uint64_t readSectors = last && sectors % kChunkSectors ? sectors % kChunkSectors : kChunkSectors;
        const uint64_t writeBytes = last && length % kChunkBytes ? length % kChunkBytes : kChunkBytes;
        const uint64_t at = startSector + kChunkSectors * i;
        if (at >= context.device->sectorCount || readSectors > context.device->sectorCount - at ||
            !ReadSectorsAt(context.device->handle, at, int32_t(readSectors), int32_t(kSector), buffer.data())) {
            *what = "reading sectors " + std::to_string(at) + " to " + std::to_string(at + readSectors - 1) +
                    " of " + (context.device->handle ? context.device->handle->path() : std::string("the drive"));
            return Copy::Failed;
        }
        if (!file.write(buffer.data(), size_t(writeBytes))) {
            *what = "writing";
            return Copy::Failed;
        }
    }
    return Copy::Done;
}

// Saves every file of the list; start gives a file's first sector (false
// when it has none on the medium), nameOf the name it takes in the folder.
template <typename StartOf, typename NameOf>
int saveAll(Saving& saving, OutputFolder& folder, const std::vector<FoundFile>& files, StartOf startOf,
            NameOf nameOf, std::vector<std::string>* savedAs)
{
    RunStatus& status = *saving.context.status;
    status.setState(RUN_ACTIVE);
    TimerStart();
    for (const FoundFile& file : files) {
        const bool directory = file.layout == FoundFile::Layout::Directory;
        const std::string name = nameOf(file);
        const uint64_t length = directory ? file.entryLength : uint64_t(uint32_t(std::max(file.length, 0)));
        std::string why;
        std::unique_ptr<OutputFile> out = folder.create(name, &why);
        if (!out)
            return saving.fail("cannot create " + folder.path() + "/" + name + ": " + why);
        uint64_t start = 0;
        std::string what;
        Copy result = Copy::Failed;
        if (length == 0)
            result = Copy::Done;
        else if (startOf(file, &start))
            result = saving.copy(start, length, *out, &what);
        else
            what = "the start cluster " + std::to_string(file.startCluster) + " lies outside the volume";
        const bool closed = out->close();
        if (result == Copy::Stopped) {
            SendRecoveryProgress(saving.context, 0);
            return 0;
        }
        if (result == Copy::Done && !closed)
            return saving.fail("writing " + folder.path() + "/" + name);
        if (result == Copy::Failed)
            return saving.fail(what == "writing" ? "writing " + folder.path() + "/" + name
                                                 : what + " for " + name);
        ++saving.saved;
        if (savedAs)
            savedAs->push_back(name);
    }
    status.setState(RUN_DONE);
    SendRecoveryProgress(saving.context, 0);
    return 1;
}

std::vector<FoundFile> checkedFiles(SharedContext& context, bool deletedOnly)
{
    std::vector<FoundFile> files;
    if (!context.status->listControl)
        return files;
    for (FoundFile& file : context.status->listControl->checkedFiles())
        if (!deletedOnly || file.deleted)
            files.push_back(std::move(file));
    return files;
}

// The names already in the folder; false when it cannot be read.
bool namesIn(OutputFolder& folder, Saving& saving, std::vector<std::string>* names)
{
    std::string why;
    if (folder.existingNames(names, &why))
        return true;
    saving.fail("cannot read the folder " + folder.path() + ": " + why);
    return false;
}

int nothingChecked(SharedContext& context, std::string* error)
{
    if (error)
        *error = "no files selected";
    context.status->setState(RUN_FAILED);
    SendRecoveryProgress(context, 152);
    return 0;
}

}  // namespace

std::string SafeFileName(const std::string& name)
{
    std::string safe = name;
    for (char& c : safe) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || byte < 0x20 || byte == 0x7F)
            c = '_';
    }
    if (safe.empty() || safe == "." || safe == "..")
        safe = "_";
    return safe;
}

bool ReadFoundFile(SharedContext& context, const FoundFile& file, OutputFile& out, std::string* error)
{
    if (file.layout != FoundFile::Layout::Signature || file.length < 0 || !context.device) {
        if (error)
            *error = "no sectors to read for " + file.name;
        return false;
    }
    Saving reading{context, error};
    reading.paced = false;
    std::string what;
    if (reading.copy(file.startSector, uint64_t(file.length), out, &what) != Copy::Done) {
        if (error)
            *error = what;
        return false;
    }
    return true;
}

int RecoverToFolder(SharedContext& context, OutputFolder& folder, std::string* error,
                    std::vector<std::string>* savedAs)
{
    const std::vector<FoundFile> files = checkedFiles(context, false);
    if (files.empty())
        return nothingChecked(context, error);
    Saving saving{context, error, 1000.0 / double(files.size())};
    std::vector<std::string> existing;
    if (!namesIn(folder, saving, &existing))
        return 0;
    SaveNames names(existing);
    return saveAll(
        saving, folder, files,
        [](const FoundFile& file, uint64_t* start) {
            *start = file.startSector;
            return true;
        },
        [&names](const FoundFile& file) { return names.numbered(file.name); }, savedAs);
}

int RecoverDeletedEntries(SharedContext& context, OutputFolder& folder, std::string* error,
                          std::vector<std::string>* savedAs)
{
    const std::vector<FoundFile> files = checkedFiles(context, true);
    if (files.empty())
        return nothingChecked(context, error);
    uint8_t boot[kSector];
    FatLayout layout;
    if (context.device->sectorCount == 0 ||
        !ReadSectorsAt(context.device->handle, 0, 1, int32_t(kSector), boot)) {
        Saving failing{context, error};
        return failing.fail("reading the boot sector of " +
                            (context.device->handle ? context.device->handle->path() : std::string("the drive")));
    }
    // The cluster arithmetic needs only the fields; a boot sector that does
    // not pass the scan's checks still gives them.
    layout.rootSector = uint64_t(boot[14] | (boot[15] << 8)) + uint64_t(boot[16]) * uint64_t(boot[22] | (boot[23] << 8));
    layout.rootSectors = uint64_t(boot[17] | (boot[18] << 8)) / 16;
    layout.clusterSectors = boot[13];
    Saving saving{context, error, 1000.0 / double(files.size())};
    std::vector<std::string> existing;
    if (!namesIn(folder, saving, &existing))
        return 0;
    SaveNames names(existing);
    return saveAll(
        saving, folder, files,
        [&layout](const FoundFile& file, uint64_t* start) {
            const int64_t sector = layout.clusterSector(file.startCluster);
            if (sector < 0)
                return false;
            *start = uint64_t(sector);
            return true;
        },
        [&names](const FoundFile& file) { return names.entry(file.name); }, savedAs);
}

}  // namespace qv
