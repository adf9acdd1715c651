#include "tools/cli/CliSession.h"

#include "core/run/RunFailure.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "platform/linux/SystemDrives.h"

#include <cerrno>
#include <cstring>

namespace qv::cli {

CliSession::CliSession()
{
    std::strncpy(context_.appTitle, LoadText(str::kProductName).c_str(), sizeof context_.appTitle - 1);
    context_.status = &status_;
    system_ = linux_platform::MakeSystemDriveProvider();
    source_.addProvider(system_.get());
    source_.addProvider(&nodes_);
    source_.addProvider(&images_);
    drives_ = std::make_unique<DriveList>(context_, source_, selector_);
}

std::string CliSession::attachImage(const std::string& path)
{
    return images_.attach(path);
}

std::string CliSession::attachNode(const std::string& node)
{
    std::string name = node.substr(node.find_last_of('/') + 1);
    nodes_.list.push_back({name, [node] { return linux_platform::OpenBlockDevice(node); }});
    return name;
}

void CliSession::enumerate()
{
    selector_.reset();
    drives_->EnumerateDrives(-1);
}

bool CliSession::select(const std::string& name, const std::string& path, std::string* error)
{
    std::string wanted = name.substr(name.find_last_of('/') + 1);
    const int slot = source_.slotOf(wanted);
    if (slot < 0 || !drives_->record(slot).listed) {
        const SlotVerdict* verdict = slot >= 0 ? &drives_->verdict(slot) : nullptr;
        if (error && verdict && verdict->verdict == DriveVerdict::OpenFailed && verdict->error) {
            RunFailure failure;
            failure.set(str::kFailedOpen, path, verdict->error);
            *error = FailureText(failure);
            if (verdict->error == ENOTBLK)
                *error += " (an image file is attached with --image FILE)";
        } else if (error) {
            *error = "no drive '" + name + "' is listed (see 'quorvane-cli list')";
        }
        return false;
    }
    selector_.setCurrent(drives_->selectorPosition(slot));
    drives_->SyncSelection();
    return true;
}

std::string PadToColumns(const std::string& text, size_t columns)
{
    size_t used = 0;
    for (unsigned char c : text)
        used += (c & 0xC0) != 0x80;
    return used < columns ? text + std::string(columns - used, ' ') : text + " ";
}

}  // namespace qv::cli
