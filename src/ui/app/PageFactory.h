#pragma once

#include <array>

class QWidget;

namespace qv::ui {

class TestPage;

// The pages by navigation index.
enum PageIndex {
    kInformationPage = 0,
    kErrorScanPage = 1,
    kErasePage = 2,
    kRecoveryPage = 3,
    kBackupPage = 4,
    kRawBenchmarkPage = 5,
    kFileBenchmarkPage = 6,
    kPageCount = 7,
};

struct PageSlot {
    PageIndex index;
    int titleId;       // header title and navigation title
    int normalIcon;    // navigation bar
    int selectedIcon;  // navigation bar when current; the page's header icon
};

// In the order the pages are created.
extern const std::array<PageSlot, kPageCount> kPageSlots;

// The page object of a slot, a child of parent.
TestPage* MakePage(PageIndex index, QWidget* parent);

}  // namespace qv::ui
