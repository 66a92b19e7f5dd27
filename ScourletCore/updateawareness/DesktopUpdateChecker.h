// Checks whether a newer desktop release exists: downloads the release file
// from the maker's host, checks it strictly, compares it with the running
// version and build, publishes the outcome and reports it to update awareness.
// It downloads no release; the record it publishes carries the addresses of
// the download and release notes pages.
//
//   DesktopUpdateChecker checker({transport, executor, mainQueue, awareness});
//   checker.check(config::kAppVersion, 52);   // returns at once
//   // ... later, on the main queue: status() is upToDate, available or failed
//
// The download and the checks run on the executor; the outcome is applied on
// the main queue. Used on the main thread only. Destroying the checker cancels
// its download and drops an outcome still on its way.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "ScourletCore/config/BuildSettings.h"
#include "ScourletCore/platform/BackgroundExecutor.h"
#include "ScourletCore/platform/HttpTransport.h"
#include "ScourletCore/platform/MainQueue.h"
#include "ScourletCore/platform/Observable.h"
#include "ScourletCore/updateawareness/DesktopReleaseInfo.h"
#include "ScourletCore/updateawareness/DesktopUpdateStatus.h"
#include "ScourletCore/updateawareness/UpdateAwareness.h"

namespace scourlet {

class DesktopUpdateChecker final : public ObservableObject {
public:
    // What the checker needs of its surroundings. Every pointer but
    // `transport` must be set.
    struct Environment {
        std::shared_ptr<HttpTransport> transport;            // nothing: CurlHttpTransport::shared()
        std::shared_ptr<BackgroundExecutor> executor;        // the download and the checks
        std::shared_ptr<MainQueue> mainQueue;                // where outcomes are applied
        std::shared_ptr<UpdateAwareness> awareness;          // told of each successful check
        std::string host = std::string(config::kMakerHost);  // serves the release file
    };

    // Bytes the release file may have.
    static constexpr std::int64_t kReleaseFileLimit = 16384;

    explicit DesktopUpdateChecker(Environment environment);
    ~DesktopUpdateChecker() override;

    // Idle before the first check, checking while one runs, then its outcome.
    const DesktopUpdateStatus& status() const { return status_.get(); }
    // The release record of the last check, set only when it succeeded.
    const std::optional<DesktopReleaseInfo>& latest() const { return latest_.get(); }

    // The host that serves the release file; the addresses of a release
    // record are on exactly this host.
    const std::string& host() const { return environment_.host; }

    // Each emits the new value before it becomes visible.
    Signal<DesktopUpdateStatus>& statusPublisher() const { return status_.publisher(); }
    Signal<std::optional<DesktopReleaseInfo>>& latestPublisher() const {
        return latest_.publisher();
    }

    // Returns at once; does nothing while a check runs. Otherwise shows
    // `checking`, forgets the latest record and downloads the release file in
    // the background. Then, on the main queue: any failure (download, size,
    // decoding, a refused value) shows `failed` and touches nothing else; a
    // good file is reported to awareness (first the running release as
    // installed, then the file's as found), becomes latest(), and the status
    // becomes decide()'s.
    void check(std::string_view currentVersion, std::int64_t currentBuild);

    // available(release) when the release is newer than the running one: by
    // version, or by build (an absent build counting as 0) when the versions
    // are equal or either is not a valid version; else upToDate.
    static DesktopUpdateStatus decide(const DesktopReleaseInfo& release,
                                      std::string_view currentVersion, std::int64_t currentBuild);

private:
    void apply(std::optional<DesktopReleaseInfo> release, const std::string& currentVersion,
               std::int64_t currentBuild);

    Environment environment_;
    Published<DesktopUpdateStatus> status_{*this, DesktopUpdateStatus::idle()};
    Published<std::optional<DesktopReleaseInfo>> latest_{*this, std::nullopt};

    std::stop_source stop_;
    // Outcomes posted to the main queue run only while this lives.
    std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
};

}  // namespace scourlet
