#pragma once

// What the page benches on a device node share: the one argument, the
// offscreen platform with English texts, and the node opened as the drive
// a page works on.
#include "core/device/Scsi.h"
#include "core/text/StringTable.h"
#include "platform/linux/SystemDrives.h"
#include "support/UiFixtures.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

class NodePageBench {
public:
    // Exits with 2 on a wrong command line, 3 when the node cannot be opened.
    NodePageBench(int& argc, char** argv) : app_(checked(argc, argv), argv)
    {
        qv::UseEnglishTexts(true);
        qv::OpenResult opened = qv::linux_platform::OpenBlockDevice(argv[1]);
        if (!opened.handle) {
            std::fprintf(stderr, "cannot open %s: %s\n", argv[1], std::strerror(opened.error));
            std::exit(3);
        }
        drive_ = std::make_unique<qv::ui::test::PageDrive>(opened.handle, 0);
        drive_->record.sectorCount = qv::ReadMediumCapacity(drive_->record.handle).sectors();
    }

    QApplication& app() { return app_; }
    qv::ui::test::PageDrive& drive() { return *drive_; }

private:
    static int& checked(int& argc, char** argv)
    {
        if (argc != 2) {
            std::fprintf(stderr, "usage: %s DEVICE-NODE\n", argv[0]);
            std::exit(2);
        }
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return argc;
    }

    QApplication app_;
    std::unique_ptr<qv::ui::test::PageDrive> drive_;
};
