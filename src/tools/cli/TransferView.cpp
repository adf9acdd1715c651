#include "tools/cli/TransferView.h"

#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "core/text/Units.h"

namespace qv::cli {

void TransferView::showTexts(TransferKind kind, const TransferTexts& t)
{
    if (kind != kind_ || t.percent.empty())
        return;
    const int title = kind == TransferKind::Backup ? str::kBackupButton : str::kRestoreButton;
    run_.showProgress(Format("%s %s  %s  %s  %s / %s  %s", LoadText(title).c_str(), t.percent.c_str(),
                             t.position.c_str(), t.speed.empty() ? "-" : t.speed.c_str(), t.elapsed.c_str(),
                             t.remaining.c_str(), t.sector.c_str()));
}

bool TransferView::chooseFile(const FileRequest&, std::string* path)
{
    *path = file_;
    return true;
}

void TransferView::showFailure(const std::string& message, const std::string& detail)
{
    run_.note(run_.drivePath() + ": " + message + (detail.empty() ? "" : " (" + detail + ")"));
}

}  // namespace qv::cli
