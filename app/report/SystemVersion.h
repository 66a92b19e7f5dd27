// The running system's name for reports, from os-release (PRETTY_NAME, else
// NAME and VERSION), with the kernel release; "unknown" when nothing is known.
// Read once per process; os-release is read with a size limit.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace scourlet::app {

const std::string& systemVersion();

// The line from os-release text and a kernel release, for tests.
std::string describeSystem(std::optional<std::string_view> osRelease, std::string_view kernelRelease);

}  // namespace scourlet::app
