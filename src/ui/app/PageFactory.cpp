#include "ui/app/PageFactory.h"

#include "core/text/StringIds.h"
#include "ui/app/TestPage.h"
#include "ui/pages/ErrorScanPage.h"
#include "ui/pages/RecoveryPage.h"
#include "ui/pages/InfoPage.h"

namespace qv::ui {

const std::array<PageSlot, kPageCount> kPageSlots = {{
    {kRawBenchmarkPage, str::kLowLevelTest, 138, 131},
    {kFileBenchmarkPage, str::kPerformance, 139, 140},
    {kInformationPage, str::kInformation, 160, 159},
    {kErrorScanPage, str::kErrorScan, 148, 147},
    {kErasePage, str::kErase, 143, 141},
    {kRecoveryPage, str::kRecovery, 164, 163},
    {kBackupPage, str::kBackup, 168, 167},
}};

// A page that is not built yet is a bare TestPage: header and white body.
TestPage* MakePage(PageIndex index, QWidget* parent)
{
    switch (index) {
    case kInformationPage: return new CInfoPage(parent);
    case kErrorScanPage: return new CErrorScanPage(parent);
    case kErasePage: return new TestPage(parent);
    case kRecoveryPage: return new CRecoveryPage(parent);
    case kBackupPage: return new TestPage(parent);
    case kRawBenchmarkPage: return new TestPage(parent);
    case kFileBenchmarkPage: return new TestPage(parent);
    case kPageCount: break;
    }
    return nullptr;
}

}  // namespace qv::ui
