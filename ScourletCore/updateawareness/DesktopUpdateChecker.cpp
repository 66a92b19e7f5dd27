#include "ScourletCore/updateawareness/DesktopUpdateChecker.h"

#include <cassert>
#include <utility>

#include "ScourletCore/platform/CurlHttpTransport.h"
#include "ScourletCore/updateawareness/DesktopReleasePayload.h"
#include "ScourletCore/updateawareness/UpdateMetadata.h"
#include "ScourletCore/updateawareness/UpdateVersion.h"

namespace scourlet {

DesktopUpdateChecker::DesktopUpdateChecker(Environment environment)
    : environment_(std::move(environment)) {
    assert(environment_.executor && environment_.mainQueue && environment_.awareness);
    if (!environment_.transport) {
        // The process-wide transport lives as long as the process; share it
        // without ownership.
        environment_.transport = std::shared_ptr<HttpTransport>(std::shared_ptr<HttpTransport>{},
                                                                &CurlHttpTransport::shared());
    }
}

DesktopUpdateChecker::~DesktopUpdateChecker() {
    stop_.request_stop();
}

void DesktopUpdateChecker::check(std::string_view currentVersion, std::int64_t currentBuild) {
    if (status_.get().kind() == DesktopUpdateStatus::Kind::checking) {
        return;
    }
    status_.set(DesktopUpdateStatus::checking());
    latest_.set(std::nullopt);

    environment_.executor->run([transport = environment_.transport, host = environment_.host,
                                queue = environment_.mainQueue, stop = stop_.get_token(),
                                alive = std::weak_ptr<int>(lifetime_), this,
                                version = std::string(currentVersion), currentBuild] {
        std::optional<DesktopReleaseInfo> release;
        auto bytes = UpdateMetadata::fetch(*transport, UpdateMetadata::desktopURL(host),
                                           kReleaseFileLimit, host, stop);
        if (bytes) {
            if (auto payload = DesktopReleasePayload::parse(*bytes, host)) {
                release = std::move(payload->desktop);
            }
        }
        queue->post([alive, this, release = std::move(release), version, currentBuild] {
            if (alive.lock()) {
                apply(release, version, currentBuild);
            }
        });
    });
}

void DesktopUpdateChecker::apply(std::optional<DesktopReleaseInfo> release,
                                 const std::string& currentVersion, std::int64_t currentBuild) {
    if (!release) {
        status_.set(DesktopUpdateStatus::failed());
        return;
    }
    UpdateAwareness& awareness = *environment_.awareness;
    awareness.installed(UpdateClass::app, currentVersion, currentBuild);
    awareness.success(UpdateClass::app, release->currentVersion, release->currentBuild);
    latest_.set(release);
    status_.set(decide(*release, currentVersion, currentBuild));
}

DesktopUpdateStatus DesktopUpdateChecker::decide(const DesktopReleaseInfo& release,
                                                 std::string_view currentVersion,
                                                 std::int64_t currentBuild) {
    const auto order = UpdateVersion::compare(release.currentVersion, currentVersion);
    const bool newer =
        order && *order != 0 ? *order > 0 : release.currentBuild.value_or(0) > currentBuild;
    return newer ? DesktopUpdateStatus::available(release) : DesktopUpdateStatus::upToDate();
}

}  // namespace scourlet
