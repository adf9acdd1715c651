#pragma once

#include <string>
#include <string_view>

namespace qv::linux_platform {

// The value of one key of an os-release text, unquoted; empty when absent.
std::string OsReleaseValue(std::string_view text, const std::string& key);

// "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-18-amd64 (x86_64)": the
// distribution's PRETTY_NAME (else NAME) from <etcRoot>/os-release or
// /usr/lib/os-release, with the kernel's release and machine.
std::string DescribeLinux(const std::string& etcRoot = "/etc");

}  // namespace qv::linux_platform
