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
#include "platform/linux/OutputFolderCheck.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

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
    if (!options.listOnly &&
        linux_platform::PlaceOfOutputFolder(volumePath, options.out, &error) != linux_platform::FolderPlace::Elsewhere) {
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

    std::vector<std::string> names;
    for (int i = 0; i < list.rowCount(); ++i)
        names.push_back(SafeFileName(list.row(i).file->name));
    if (linux_platform::OverwritesImage(volumePath, options.out, names, &error)) {
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
