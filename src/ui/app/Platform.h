#pragma once

#include "core/device/DrivePlatform.h"
#include "core/files/OutputFiles.h"
#include "core/mediatests/ImageFiles.h"
#include "core/info/InfoSystem.h"
#include "core/mediatests/BenchFileSystem.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qv {
class LanguageLibrary;
}

namespace qv::ui {

struct MainOptions {
    // Image files attached as drives (--image).
    std::vector<std::string> images;
    // The kernel's disks and their arrivals; off in the window tests.
    bool systemDrives = true;
    // What the information page asks of the system; empty: the running
    // Linux system. Tests give a fake USB tree here.
    InfoSystemFactory infoSystem;
    // The application's language library (none: the menu offers the
    // program's own language alone) and how the program starts again after
    // a language was chosen.
    LanguageLibrary* languages = nullptr;
    std::function<void()> restart;
};

// The system behind the main window, reached through core interfaces only:
// the kernel's disks, image files as drives, the watch on arrivals, the
// formatter. Wired in one place (MakeMainPlatform) and owned by the
// application object for the life of the window.
struct MainPlatform {
    std::unique_ptr<CandidateProvider> systemDrives;  // null: none listed
    std::unique_ptr<ImageDrives> images;
    // Starts delivering arrivals and removals to drives; empty: none.
    std::function<std::unique_ptr<DriveEvents>(SlotDriveSource&, DriveList&)> watchDrives;
    std::unique_ptr<VolumeFormatter> formatter;
    // Where the backup page reads and writes its images.
    std::unique_ptr<ImageFiles> imageFiles;
    // Where reports and snapshots are written.
    std::unique_ptr<OutputFiles> outputFiles;
    InfoSystemFactory infoSystem;
    // Where the file benchmark finds a drive's mounted file system.
    std::unique_ptr<BenchFileSystem> benchFiles;
    LanguageLibrary* languages = nullptr;
    std::function<void()> restart;
};

// The Linux platform for the options, with their images attached.
std::unique_ptr<MainPlatform> MakeMainPlatform(const MainOptions& options);

}  // namespace qv::ui
