#include "ScourletCore/ruleupdates/RulesUpdater.h"

#include <cassert>
#include <system_error>
#include <utility>

#include "ScourletCore/clipboard/CommandGuard.h"
#include "ScourletCore/platform/BoundedFileRead.h"
#include "ScourletCore/platform/Crypto.h"
#include "ScourletCore/platform/CurlHttpTransport.h"
#include "ScourletCore/platform/Diagnostics.h"
#include "ScourletCore/ruleupdates/SignedRuleStore.h"
#include "ScourletCore/ruleupdates/VerifiedRuleBundleLoader.h"
#include "ScourletCore/ruleupdates/internal/RuleVersionOrder.h"

namespace scourlet {

namespace {

std::shared_ptr<HttpTransport> transportOrShared(std::shared_ptr<HttpTransport> transport) {
    if (transport) {
        return transport;
    }
    // The process-wide transport lives for the whole process; share it
    // without ownership.
    return std::shared_ptr<HttpTransport>(std::shared_ptr<HttpTransport>{},
                                          &CurlHttpTransport::shared());
}

// The verified manifest of the record in use under `root`.
std::optional<RuleUpdateManifest> verifiedActiveManifest(const std::filesystem::path& root,
                                                         const ResourceBundle* bundle,
                                                         std::string_view host,
                                                         std::string_view appVersion) {
    const SignedRuleFeed::Store store{root, SignedRuleFeed::bundledTrust(bundle), std::string(host),
                                      std::string(appVersion)};
    auto best = store.bestVerifiedRecord(SignedRuleFeed::minimumVersion(bundle));
    if (!best) {
        return std::nullopt;
    }
    return std::move(best->manifest);
}

std::optional<std::string> shippedVersion(const ResourceBundle* bundle) {
    if (auto manifest = SignedRuleFeed::shippedManifest(bundle)) {
        return manifest->currentVersion;
    }
    return std::nullopt;
}

// The version of the Command Guard rules in use: the one recorded by an
// install, else the installed rules file's, else what a plain guard loads.
std::string commandGuardVersion(const UserDefaults& defaults) {
    if (auto stored = defaults.stringForKey(RulesUpdater::kInstalledCommandGuardVersionKey)) {
        return *stored;
    }
    if (auto file = CommandGuard::defaultInstalledRulesURL()) {
        if (auto data = readFileAtMost(*file, CommandGuard::maximumRulesFileBytes)) {
            if (auto version = CommandGuard::ruleBundleVersion(*data)) {
                return *version;
            }
        }
    }
    return CommandGuard().rulesVersion();
}

}  // namespace

// What a background check hands to the main queue.
struct RulesUpdater::CheckOutcome {
    // The proof and its verified manifest, or why the fetch failed.
    Result<SignedRuleFeed::VerifiedProof, RuleUpdateError> fetched;
    // The installed version read from disk, for when none is known yet.
    std::string installedFallback = "0";
};

struct RulesUpdater::InstallOutcome {
    std::optional<RuleUpdateError> error;
    std::string clearURLsData;
    std::string supplementaryData;
    std::string version;
};

RulesUpdater::RulesUpdater(std::shared_ptr<RulesEngine> rulesEngine,
                           std::shared_ptr<UserDefaults> defaults,
                           std::optional<std::string> manifestURL,
                           std::optional<std::filesystem::path> installedRulesRoot,
                           Environment environment)
    : rulesEngine_(std::move(rulesEngine)),
      defaults_(std::move(defaults)),
      manifestURLOverride_(std::move(manifestURL)),
      installedRulesRoot_(installedRulesRoot ? std::move(installedRulesRoot) : rulesRootURL()),
      environment_(std::move(environment)) {
    assert(rulesEngine_ && defaults_ && environment_.executor && environment_.mainQueue &&
           environment_.clock && environment_.awareness);
    environment_.transport = transportOrShared(std::move(environment_.transport));

    // Restored straight into the fields: the setters would write them back.
    if (auto stored = defaults_->stringForKey(kAutomaticUpdateCadenceKey)) {
        if (auto cadence = enumFromRawValue<RuleUpdateCadence>(*stored)) {
            automaticUpdateCadence_.set(*cadence);
        }
    }
    lastAutomaticCheckDate_.set(defaults_->dateForKey(kLastAutomaticCheckKey));
    if (defaults_->stringForKey(kSelectedChannelKey) == std::string("beta")) {
        selectedChannel_.set(RuleUpdateChannel::beta);
    }

    lastUpdateDate_.set(defaults_->dateForKey(kLastUpdateKey));
    // Never the stored copy: the version follows the verified files.
    if (auto active = activeManifest()) {
        installedVersion_.set(active->currentVersion);
    } else {
        installedVersion_.set(shippedVersion(environment_.bundle));
    }
    installedCommandGuardVersion_.set(commandGuardVersion(*defaults_));
}

RulesUpdater::~RulesUpdater() {
    stop_.request_stop();
}

void RulesUpdater::loadPreferringAppSupport() {
    // The installed record in use when one verifies (and is not below the
    // shipped version), else the shipped rules.
    installedVersion_.set(VerifiedRuleBundleLoader::load(*rulesEngine_, installedRulesRoot_,
                                                         environment_.bundle, environment_.host,
                                                         environment_.appVersion)
                              .version);
}

// ---- Setters with side effects ---------------------------------------------------

void RulesUpdater::setAutomaticUpdateCadence(RuleUpdateCadence cadence) {
    automaticUpdateCadence_.set(cadence);
    defaults_->setString(kAutomaticUpdateCadenceKey, std::string(rawValue(cadence)));
}

void RulesUpdater::setSelectedChannel(RuleUpdateChannel channel) {
    selectedChannel_.set(channel);
    defaults_->setString(kSelectedChannelKey, std::string(rawValue(channel)));
    environment_.awareness->clearRuleChannel();
    availableManifest_.set(std::nullopt);
    if (updateStatus_.get().kind() == RulesUpdateStatus::Kind::updateAvailable) {
        updateStatus_.set(RulesUpdateStatus::idle());
    }
}

std::optional<RuleUpdateManifest> RulesUpdater::activeManifest() const {
    if (!installedRulesRoot_) {
        return std::nullopt;
    }
    return verifiedActiveManifest(*installedRulesRoot_, environment_.bundle, environment_.host,
                                  environment_.appVersion);
}

std::optional<RuleUpdateManifest> RulesUpdater::defaultActiveManifest(const ResourceBundle* bundle,
                                                                     std::string_view host) {
    if (auto root = rulesRootURL()) {
        return verifiedActiveManifest(*root, bundle, host, config::kAppVersion);
    }
    return std::nullopt;
}

// ---- Check ---------------------------------------------------------------------------

void RulesUpdater::checkForUpdates() {
    startCheck([](bool) {});
}

void RulesUpdater::startCheck(std::function<void(bool)> done) {
    if (updateStatus_.get().isBusy()) {
        done(false);
        return;
    }
    updateStatus_.set(RulesUpdateStatus::checkingManifest());
    availableManifest_.set(std::nullopt);
    pendingProof_.reset();

    const RuleUpdateChannel channel = selectedChannel_.get();
    std::string url =
        manifestURLOverride_ ? *manifestURLOverride_ : manifestURL(channel, environment_.host);
    const bool installedKnown = installedVersion_.get().has_value();

    environment_.executor->run([this, url = std::move(url), installedKnown, channel,
                                done = std::move(done), transport = environment_.transport,
                                root = installedRulesRoot_, bundle = environment_.bundle,
                                host = environment_.host, appVersion = environment_.appVersion,
                                stop = stop_.get_token(), post = mainPoster()]() mutable {
        CheckOutcome outcome{SignedRuleFeed::fetchProof(
            *transport, url, SignedRuleFeed::bundledTrust(bundle), stop, host, appVersion)};
        if (outcome.fetched && !installedKnown) {
            // Disk reads and verification stay off the main thread.
            std::optional<RuleUpdateManifest> active;
            if (root) {
                active = verifiedActiveManifest(*root, bundle, host, appVersion);
            }
            if (active) {
                outcome.installedFallback = active->currentVersion;
            } else if (auto shipped = shippedVersion(bundle)) {
                outcome.installedFallback = *shipped;
            }
        }
        post([this, outcome = std::move(outcome), channel, done = std::move(done)]() mutable {
            applyCheck(std::move(outcome), channel, done);
        });
    });
}

void RulesUpdater::applyCheck(CheckOutcome outcome, RuleUpdateChannel channelAtStart,
                              const std::function<void(bool)>& done) {
    if (!outcome.fetched) {
        updateStatus_.set(RulesUpdateStatus::failed("Could not check for rule updates: " +
                                                    outcome.fetched.error().errorDescription()));
        done(false);
        return;
    }
    if (selectedChannel_.get() != channelAtStart) {
        // The user switched channels while the manifest was on its way.
        updateStatus_.set(RulesUpdateStatus::idle());
        done(false);
        return;
    }
    pendingProof_ = std::move(outcome.fetched->proof);
    RuleUpdateManifest& manifest = outcome.fetched->manifest;
    const std::string installed =
        installedVersion_.get() ? *installedVersion_.get() : outcome.installedFallback;
    environment_.awareness->installed(UpdateClass::rules, installed, std::nullopt);
    environment_.awareness->success(UpdateClass::rules, manifest.currentVersion, std::nullopt);

    if (internal::compareNaturally(manifest.currentVersion, installed) > 0) {
        availableManifest_.set(manifest);
        updateStatus_.set(RulesUpdateStatus::updateAvailable(std::move(manifest)));
        done(true);
    } else {
        updateStatus_.set(RulesUpdateStatus::upToDate(installed));
        done(false);
    }
}

// ---- Install -------------------------------------------------------------------------

void RulesUpdater::installAvailableUpdate() {
    startInstall([] {});
}

void RulesUpdater::startInstall(std::function<void()> done) {
    if (!availableManifest_.get() || updateStatus_.get().isBusy()) {
        done();
        return;
    }
    updateStatus_.set(RulesUpdateStatus::downloading());

    environment_.executor->run([this, manifest = *availableManifest_.get(), proof = pendingProof_,
                                done = std::move(done), transport = environment_.transport,
                                root = installedRulesRoot_, bundle = environment_.bundle,
                                host = environment_.host, appVersion = environment_.appVersion,
                                stop = stop_.get_token(), post = mainPoster()]() mutable {
        const std::string trust = SignedRuleFeed::bundledTrust(bundle);
        // One listed file, capped at its stated size, then checked by size and digest.
        auto downloadVerifiedFile =
            [&](const RuleUpdateManifest::File& file) -> Result<std::string, RuleUpdateError> {
            if (!file.bytes) {
                return SignedRuleFeed::rejection();
            }
            auto bytes = SignedRuleFeed::download(*transport, file.url, *file.bytes, stop, host);
            if (!bytes) {
                return bytes.error();
            }
            if (static_cast<std::int64_t>(bytes->size()) != *file.bytes) {
                return RuleUpdateError::invalidRules("Unexpected byte count for " + file.path);
            }
            // The verified manifest holds lower-case digests only.
            if (sha256Hex(*bytes) != file.sha256) {
                return RuleUpdateError::hashMismatch(file.path);
            }
            return std::move(*bytes);
        };

        InstallOutcome outcome;
        outcome.version = manifest.currentVersion;
        outcome.error = [&]() -> std::optional<RuleUpdateError> {
            if (!proof) {
                return SignedRuleFeed::rejection();
            }
            auto verified =
                SignedRuleFeed::verify(proof->manifest, proof->signature, trust, host, appVersion);
            if (!verified) {
                return verified.error();
            }
            if (*verified != manifest) {
                return SignedRuleFeed::rejection();
            }
            const auto clearFile = manifest.clearURLsFile();
            if (!clearFile) {
                return RuleUpdateError::missingFile(std::string(SignedRuleFeed::kClearURLsFileName));
            }
            const auto supplementaryFile = manifest.supplementaryFile();
            if (!supplementaryFile) {
                return RuleUpdateError::missingFile(
                    std::string(SignedRuleFeed::kSupplementaryFileName));
            }
            auto clear = downloadVerifiedFile(*clearFile);
            if (!clear) {
                return clear.error();
            }
            auto supplementary = downloadVerifiedFile(*supplementaryFile);
            if (!supplementary) {
                return supplementary.error();
            }

            post([this] { updateStatus_.set(RulesUpdateStatus::validating()); });
            if (auto valid = RulesEngine::validateRuleBundle(*clear, *supplementary); !valid) {
                return valid.error();
            }

            post([this] { updateStatus_.set(RulesUpdateStatus::installing()); });
            SignedRuleFeed::Record record{*proof, *clear, *supplementary};
            const SignedRuleFeed::Store store{root, trust, host, appVersion};
            if (auto installed = store.install(record, SignedRuleFeed::minimumVersion(bundle));
                !installed) {
                return installed.error();
            }
            outcome.clearURLsData = std::move(*clear);
            outcome.supplementaryData = std::move(*supplementary);
            return std::nullopt;
        }();
        post([this, outcome = std::move(outcome), done = std::move(done)]() mutable {
            applyInstall(std::move(outcome), done);
        });
    });
}

void RulesUpdater::applyInstall(InstallOutcome outcome, const std::function<void()>& done) {
    if (outcome.error) {
        // The available update and its proof stay, so the install can be retried.
        updateStatus_.set(RulesUpdateStatus::failed(outcome.error->errorDescription()));
        done();
        return;
    }
    // The engine is used from the main thread only, so the new rules go in here.
    rulesEngine_->loadRuleBundle(outcome.clearURLsData, outcome.supplementaryData);
    const TimePoint now = environment_.clock->now();
    lastUpdateDate_.set(now);
    installedVersion_.set(outcome.version);
    availableManifest_.set(std::nullopt);
    defaults_->setDate(kLastUpdateKey, now);
    defaults_->setString(kInstalledVersionKey, outcome.version);
    environment_.awareness->installed(UpdateClass::rules, outcome.version, std::nullopt);
    updateStatus_.set(RulesUpdateStatus::installed(outcome.version, now));
    done();
}

// ---- Automatic runs --------------------------------------------------------------------

void RulesUpdater::performAutomaticUpdateIfDue(TimePoint now) {
    performAutomaticUpdateIfDueNow(now, [](AutomaticRuleUpdateResult) {});
}

void RulesUpdater::performAutomaticUpdateIfDueNow(
    TimePoint now, std::function<void(AutomaticRuleUpdateResult)> done, std::stop_token cancel) {
    if (!isDue(automaticUpdateCadence_.get(), lastAutomaticCheckDate_.get(), now)) {
        done(AutomaticRuleUpdateResult::notDue);
        return;
    }
    if (updateStatus_.get().isBusy()) {
        done(AutomaticRuleUpdateResult::busy);
        return;
    }
    lastAutomaticCheckDate_.set(now);
    defaults_->setDate(kLastAutomaticCheckKey, now);

    startCheck([this, done = std::move(done), cancel](bool updateAvailable) {
        if (cancel.stop_requested()) {
            done(AutomaticRuleUpdateResult::cancelled);
            return;
        }
        if (updateStatus_.get().kind() == RulesUpdateStatus::Kind::failed) {
            done(AutomaticRuleUpdateResult::failed);
            return;
        }
        if (!updateAvailable) {
            done(AutomaticRuleUpdateResult::succeeded);
            return;
        }
        startInstall([this, done, cancel] {
            if (cancel.stop_requested()) {
                done(AutomaticRuleUpdateResult::cancelled);
            } else if (updateStatus_.get().kind() == RulesUpdateStatus::Kind::failed) {
                done(AutomaticRuleUpdateResult::failed);
            } else {
                done(AutomaticRuleUpdateResult::succeeded);
            }
        });
    });
}

RulesUpdater::MainPoster RulesUpdater::mainPoster() const {
    // Holds only the queue and a weak guard, never the updater itself: a
    // background job may outlive the updater.
    return [queue = environment_.mainQueue,
            alive = std::weak_ptr<int>(lifetime_)](std::function<void()> work) {
        queue->post([alive, work = std::move(work)] {
            // Runs on the main thread, where the updater also ends.
            if (!alive.expired()) {
                work();
            }
        });
    };
}

}  // namespace scourlet
