#include "tools/cli/CliSession.h"

#include "core/run/RunFailure.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "platform/linux/SystemDrives.h"

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
        } else if (error) {
            *error = "no drive '" + name + "' is listed (see 'quorvane-cli list')";
        }
        return false;
    }
    selector_.setCurrent(drives_->selectorPosition(slot));
    drives_->SyncSelection();
    return true;
}

bool TakeImageOptions(std::vector<std::string>& args, CliSession& session, std::vector<std::string>* names,
                      std::string* error)
{
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string path;
        if (args[i] == "--image") {
            if (i + 1 >= args.size()) {
                *error = "--image needs a file";
                return false;
            }
            path = args[++i];
        } else if (args[i].rfind("--image=", 0) == 0) {
            path = args[i].substr(8);
        } else {
            rest.push_back(args[i]);
            continue;
        }
        const std::string name = session.attachImage(path);
        if (names)
            names->push_back(name);
    }
    args = std::move(rest);
    return true;
}

std::string PadToColumns(const std::string& text, size_t columns)
{
    size_t used = 0;
    for (unsigned char c : text)
        used += (c & 0xC0) != 0x80;
    return used < columns ? text + std::string(columns - used, ' ') : text + " ";
}

bool OpenCommandDrive(std::vector<std::string>& args, CliSession& session, std::string* error)
{
    std::vector<std::string> images;
    if (!TakeImageOptions(args, session, &images, error))
        return false;
    std::string target;
    if (!images.empty()) {
        target = images.front();
    } else {
        for (auto it = args.begin(); it != args.end(); ++it) {
            if (it->empty() || (*it)[0] == '-')
                continue;
            target = *it;
            if (target[0] == '/')
                target = session.attachNode(target);
            args.erase(it);
            break;
        }
    }
    if (target.empty()) {
        *error = "no drive given (a kernel name such as sdb, a device node, or --image FILE)";
        return false;
    }
    session.enumerate();
    return session.select(target, error);
}

}  // namespace qv::cli
