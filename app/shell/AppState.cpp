#include "app/shell/AppState.h"

#include <QMetaObject>
#include <QTimer>

#include "ScourletCore/clipboard/CommandGuard.h"
#include "ScourletCore/linkrewriting/PrivacyRedirectSettings.h"
#include "ScourletCore/rules/URLCleaner.h"

namespace scourlet::app {

AppState::AppState(Services services, QObject* parent)
    : QObject(parent),
      standardDefaults_(std::move(services.standardDefaults)),
      appGroupDefaults_(std::move(services.appGroupDefaults)),
      pasteboard_(services.pasteboard) {
    const ResourceBundle* bundle =
        services.bundle != nullptr ? services.bundle : ResourceBundle::cleanLinkResources();

    // One store per process, handed to whoever reports or shows update state.
    updateAwareness_ = std::make_shared<UpdateAwareness>(standardDefaults_, services.clock);

    rulesEngine_ = std::make_shared<RulesEngine>(standardDefaults_, bundle);
    RulesUpdater::Environment rulesEnvironment;
    rulesEnvironment.transport = services.transport;
    rulesEnvironment.executor = services.executor;
    rulesEnvironment.mainQueue = services.mainQueue;
    rulesEnvironment.clock = services.clock;
    rulesEnvironment.awareness = updateAwareness_;
    rulesEnvironment.bundle = bundle;
    rulesEnvironment.host = services.makerHost;
    rulesUpdater_ = std::make_shared<RulesUpdater>(rulesEngine_, standardDefaults_, std::nullopt,
                                                   services.installedRulesRoot,
                                                   std::move(rulesEnvironment));
    // The rules, before anything reads the engine: the verified installed
    // rule update, else the shipped rules.
    rulesUpdater_->loadPreferringAppSupport();
    statsTracker_ = std::make_shared<StatsTracker>(standardDefaults_, services.clock);
    notificationManager_ = std::make_shared<NotificationManager>(
        standardDefaults_, services.poster, services.mainQueue);
    exceptionStore_ = std::make_shared<DomainExceptionStore>(standardDefaults_);
    lastCleanRecorder_ = std::make_shared<LastCleanRecorder>();
    PrivacyRedirectSettings redirectSettings(*standardDefaults_, appGroupDefaults_.get());
    auto cleaner = std::make_shared<URLCleaner>(rulesEngine_, exceptionStore_, lastCleanRecorder_,
                                                std::string(kClipboardSurface),
                                                std::move(redirectSettings));
    std::shared_ptr<const CommandGuard> guard =
        services.loadCommandGuard ? services.loadCommandGuard() : std::make_shared<CommandGuard>();
    ClipboardMonitor::Environment environment{services.timers,
                                              services.mainQueue,
                                              services.executor,
                                              services.clock,
                                              services.monotonicClock,
                                              std::move(services.resolveShareLink),
                                              std::move(services.loadCommandGuard)};
    monitor_ = std::make_shared<ClipboardMonitor>(cleaner, statsTracker_, notificationManager_,
                                                  std::move(guard), standardDefaults_,
                                                  std::move(services.pasteboard),
                                                  std::move(environment));

    // The update controller owns the desktop checker and the catalog updater
    // over the shared catalog store, all reporting to the one update-awareness
    // store, and drives the rules updater.
    updates_ = std::make_shared<UpdateAwarenessController>(
        rulesUpdater_, updateAwareness_,
        UpdateAwarenessController::Environment{
            .transport = std::move(services.transport),
            .executor = services.executor,
            .mainQueue = services.mainQueue,
            .clock = services.clock,
            .catalogStore = std::move(services.catalogStore),
            .host = std::move(services.makerHost)});

    notificationManager_->requestPermission();
    monitor_->start();

    // Each source only asks for one refresh on a later turn: it announces
    // before its value changes (and the stores while they hold their lock).
    subscriptions_.push_back(updateAwareness_->statePublisher().connect(
        [this](const UpdateAwarenessState& next) {
            if (next != updateAwareness_->state()) {
                announceChange();
            }
        }));
    subscriptions_.push_back(monitor_->objectWillChange().connect([this] { announceChange(); }));
    subscriptions_.push_back(
        exceptionStore_->objectWillChange().connect([this] { announceChange(); }));
    subscriptions_.push_back(
        lastCleanRecorder_->objectWillChange().connect([this] { announceChange(); }));
    subscriptions_.push_back(
        rulesUpdater_->objectWillChange().connect([this] { announceChange(); }));
    // New Command Guard rules were installed: the monitor loads them once the
    // new version is in place, on a later turn.
    subscriptions_.push_back(rulesUpdater_->installedCommandGuardVersionPublisher().connect(
        [this](const std::optional<std::string>& next) {
            if (next != rulesUpdater_->installedCommandGuardVersion()) {
                QMetaObject::invokeMethod(
                    this, [this] { monitor_->reloadCommandGuard(); }, Qt::QueuedConnection);
            }
        }));

    addForegroundHook([this] { updates_->foreground(); });
    // The first activation, once the event loop turns.
    QTimer::singleShot(0, this, [this] { applicationBecameActive(); });
}

AppState::~AppState() {
    subscriptions_.clear();
    if (monitor_) {
        monitor_->stop();
    }
}

void AppState::addForegroundHook(std::function<void()> hook) {
    foregroundHooks_.push_back(std::move(hook));
}

void AppState::applicationBecameActive() {
    for (const auto& hook : foregroundHooks_) {
        hook();
    }
}

void AppState::stopMonitoring() {
    monitor_->stop();
}

void AppState::announceChange() {
    if (changePending_.exchange(true)) {
        return;  // a refresh is already on its way
    }
    QMetaObject::invokeMethod(this, &AppState::emitChanged, Qt::QueuedConnection);
}

void AppState::emitChanged() {
    changePending_ = false;
    Q_EMIT changed();
}

}  // namespace scourlet::app
