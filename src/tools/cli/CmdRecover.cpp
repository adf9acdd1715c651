#include "tools/cli/CliSession.h"
#include "tools/cli/Command.h"

#include "core/recovery/DirectoryScanner.h"
#include "core/recovery/FileKind.h"
#include "core/recovery/FormatMask.h"
#include "core/text/Units.h"
#include "core/recovery/FoundFileList.h"
#include "core/recovery/RecoverySaving.h"
#include "core/recovery/SignatureScanner.h"
#include "core/text/StringTable.h"
#include "platform/image/PosixOutputFolder.h"

#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace qv::cli {
namespace {

class QuietSink : public ProgressSink {
public:
    int64_t report(int32_t, int64_t) override { return 1; }
};

struct Options {
    std::string out;
    uint64_t mask = 0;
    bool directoryMode = false;
    bool listOnly = false;
};

// Takes the command's own options out of args, leaving the drive options.
bool takeOptions(std::vector<std::string>& args, Options* options, std::string* error)
{
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--out" || arg == "--kind") {
            if (i + 1 >= args.size()) {
                *error = arg + " needs a value";
                return false;
            }
            const std::string value = args[++i];
            if (arg == "--out") {
                options->out = value;
                continue;
            }
            const int kind = KindForExtension(value.c_str());
            if (kind == 0) {
                *error = "unknown kind '" + value + "' (one of the twenty extensions, such as jpg)";
                return false;
            }
            options->mask |= KindMaskBit(kind);
        } else if (arg == "--directory-mode") {
            options->directoryMode = true;
        } else if (arg == "--list-only") {
            options->listOnly = true;
        } else {
            rest.push_back(arg);
        }
    }
    if (options->out.empty() && !options->listOnly) {
        *error = "no output folder given (--out DIR, or --list-only)";
        return false;
    }
    args = rest;
    return true;
}

// The whole disk a block device number belongs to, as its sysfs path.
std::string diskOf(dev_t device)
{
    char link[64];
    std::snprintf(link, sizeof link, "/sys/dev/block/%u:%u", major(device), minor(device));
    char resolved[PATH_MAX];
    if (!realpath(link, resolved))
        return {};
    std::string path = resolved;
    struct stat st;
    if (stat((path + "/partition").c_str(), &st) == 0)
        path = path.substr(0, path.rfind('/'));
    return path;
}

// The device number of the file system holding path, or of its nearest
// existing ancestor when it does not exist yet.
bool folderDevice(std::string path, dev_t* device)
{
    for (;;) {
        struct stat st;
        if (stat(path.c_str(), &st) == 0) {
            *device = st.st_dev;
            return true;
        }
        const size_t slash = path.find_last_of('/');
        if (slash == std::string::npos)
            path = ".";
        else if (slash == 0)
            path = "/";
        else
            path.resize(slash);
        if (path == "." && stat(".", &st) != 0)
            return false;
    }
}

// Refuses an output folder on the drive being scanned: for a block device,
// a folder on any partition of its disk.
bool folderOnDrive(const std::string& volumePath, const std::string& out, std::string* error)
{
    struct stat volume;
    if (stat(volumePath.c_str(), &volume) != 0 || !S_ISBLK(volume.st_mode))
        return false;
    dev_t folder;
    if (!folderDevice(out, &folder)) {
        *error = "cannot examine the output folder " + out + ": " + std::strerror(errno);
        return true;
    }
    const std::string disk = diskOf(volume.st_rdev);
    if (folder == volume.st_rdev || (!disk.empty() && diskOf(folder) == disk)) {
        *error = "the output folder " + out + " lies on the drive being scanned (" + volumePath + ")";
        return true;
    }
    return false;
}

// For an image file: refuses a saved file that would be the image itself.
bool overwritesImage(const std::string& volumePath, const std::string& out, const MemoryFoundFileList& list,
                     std::string* error)
{
    struct stat volume;
    if (stat(volumePath.c_str(), &volume) != 0 || !S_ISREG(volume.st_mode))
        return false;
    for (int i = 0; i < list.rowCount(); ++i) {
        struct stat st;
        const std::string path = out + "/" + SafeFileName(list.row(i).file->name);
        if (stat(path.c_str(), &st) == 0 && st.st_dev == volume.st_dev && st.st_ino == volume.st_ino) {
            *error = "saving " + path + " would overwrite the image being scanned";
            return true;
        }
    }
    return false;
}

void printRows(const MemoryFoundFileList& list, bool directoryMode)
{
    for (int i = 0; i < list.rowCount(); ++i) {
        const auto& row = list.row(i);
        const FoundFile& f = *row.file;
        if (directoryMode)
            std::printf("%s  cluster %u  length %u  entry %u/%d\n", row.text.c_str(), f.startCluster,
                        f.entryLength, f.directorySector, f.entryIndex);
        else
            std::printf("%s  %s  sector %u  length %d\n", f.name.c_str(), KindExtension(f.kind), f.startSector,
                        f.length);
    }
}

int runRecover(const std::vector<std::string>& argsIn)
{
    std::vector<std::string> args = argsIn;
    Options options;
    std::string error;
    if (!takeOptions(args, &options, &error)) {
        std::fprintf(stderr, "quorvane-cli recover: %s\n", error.c_str());
        return kExitUsage;
    }
    CliSession session;
    if (!OpenCommandDrive(args, session, &error)) {
        std::fprintf(stderr, "quorvane-cli recover: %s\n", error.c_str());
        return kExitUsage;
    }
    for (const std::string& arg : args) {
        std::fprintf(stderr, "quorvane-cli recover: unknown argument '%s'\n", arg.c_str());
        return kExitUsage;
    }
    UseEnglishTexts(true);

    SharedContext& context = session.context();
    DeviceRecord& record = *context.device;
    const std::string volumePath = record.handle ? record.handle->path() : std::string();
    if (!options.listOnly && folderOnDrive(volumePath, options.out, &error)) {
        std::fprintf(stderr, "quorvane-cli recover: %s\n", error.c_str());
        return kExitFailed;
    }
    QuietSink sink;
    MemoryFoundFileList list;
    context.status->progressWindow = &sink;
    context.status->listControl = &list;

    SetFormatMask(options.mask ? options.mask : kAllFormatsMask);
    if (options.directoryMode)
        ScanDeletedEntries(context);
    else
        ScanSignatures(context);
    const int32_t state = context.status->state();
    printRows(list, options.directoryMode);
    if (options.directoryMode)
        std::printf("files %d\n", list.rowCount());
    else
        std::printf("files %d  total %" PRIu64 " bytes (%s)  read errors %d\n", record.foundCount,
                    record.foundBytes, FormatSizeText(record.foundBytes).c_str(), record.readErrors);
    if (state != RUN_DONE) {
        std::fprintf(stderr, "quorvane-cli recover: the scan of %s failed: %s\n", volumePath.c_str(),
                     options.directoryMode ? "the boot sector could not be read" : "stopped");
        return kExitFailed;
    }
    const int findings = record.readErrors > 0 ? kExitFindings : kExitOk;
    if (options.listOnly || list.rowCount() == 0)
        return findings;

    if (overwritesImage(volumePath, options.out, list, &error)) {
        std::fprintf(stderr, "quorvane-cli recover: %s\n", error.c_str());
        return kExitFailed;
    }
    if (mkdir(options.out.c_str(), 0777) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "quorvane-cli recover: cannot create the output folder %s: %s\n",
                     options.out.c_str(), std::strerror(errno));
        return kExitFailed;
    }
    list.setAllChecked(true);
    PosixOutputFolder folder(options.out);
    const int saved = options.directoryMode ? RecoverDeletedEntries(context, folder, &error)
                                            : RecoverToFolder(context, folder, &error);
    if (!saved) {
        std::fprintf(stderr, "quorvane-cli recover: saving failed: %s\n", error.c_str());
        return kExitFailed;
    }
    std::printf("saved %d files into %s\n", list.rowCount(), options.out.c_str());
    return findings;
}

}  // namespace

extern const Command kRecoverCommand = {
    "recover",
    "find files by their signatures (or deleted FAT entries) and save them",
    "usage: quorvane-cli recover DRIVE --out DIR [--kind EXT]... [--directory-mode] [--list-only]\n"
    "\n"
    "Scans every sector of DRIVE for the signatures of twenty file kinds,\n"
    "prints each found file's name, kind, first sector and length and the\n"
    "counters, then saves every found file into DIR as 00000001.jpg, ...\n"
    "  DRIVE             a kernel name (sdb), a device node, or --image FILE\n"
    "  --out DIR         folder for the recovered files; refused when it lies\n"
    "                    on the drive being scanned\n"
    "  --kind EXT        look only for this kind (jpg, mov, avi, png, gif, bmp,\n"
    "                    tif, mpg, wmv, wma, wav, mp3, zip, rar, pdf, doc, xls,\n"
    "                    ppt, pps, mts); repeatable; default all\n"
    "  --directory-mode  list the deleted entries of a FAT12/FAT16 volume's\n"
    "                    directories instead, and save them under their names\n"
    "  --list-only       scan and list, save nothing\n"
    "Exit codes: 0 done, 1 done with read errors, 2 bad arguments, 3 failed.\n",
    runRecover,
};

}  // namespace qv::cli
