#pragma once

#include "core/mediatests/BackupRestorePresenter.h"
#include "tools/cli/CommandRunner.h"

#include <string>

namespace qv::cli {

// The backup and restore page on a terminal: the file dialog answered with
// the command's FILE, the group's figures on the progress line, failures
// as notes.
class TransferView : public BackupRestoreView {
public:
    TransferView(CommandRun& run, TransferKind kind, std::string file)
        : run_(run), kind_(kind), file_(std::move(file))
    {
    }

    void showTexts(TransferKind kind, const TransferTexts& t) override;
    bool chooseFile(const FileRequest& request, std::string* path) override;
    void showRunState(bool, bool) override {}
    void showFailure(const std::string& message, const std::string& detail) override;

private:
    CommandRun& run_;
    TransferKind kind_;
    std::string file_;
};

}  // namespace qv::cli
