// Everything an AppState needs, faked: in-memory settings and clipboard,
// timers, queues, clocks and network that move only when the test moves them,
// and the shipped rules. A test drives the fakes it holds here and overrides
// any other service on what services() returns.
//
//   FakeAppServices app;
//   AppState::Services s = app.services();
//   s.poster = poster;
//   AppState state(std::move(s));
//   app.timers->advance(500ms);
#pragma once

#include <memory>

#include <QCoreApplication>

#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/platform/ResourceBundle.h"
#include "app/shell/AppState.h"
#include "support/FakeHttpTransport.h"
#include "support/InMemoryPasteboard.h"
#include "support/ManualClock.h"
#include "support/ManualExecutor.h"
#include "support/ManualMainQueue.h"
#include "support/ManualMonotonicClock.h"
#include "support/ManualTimerScheduler.h"

namespace scourlet::testing {

// The program's QCoreApplication, made the first time a test needs one (an
// AppState posts to the Qt event loop); a Qt Test program already has its own.
inline void ensureCoreApplication() {
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "app_model_tests";
        static char* argv[] = {name, nullptr};
        static QCoreApplication application(argc, argv);
    }
}

struct FakeAppServices {
    FakeAppServices() { ensureCoreApplication(); }
    // The services point at `bundle`.
    FakeAppServices(const FakeAppServices&) = delete;
    FakeAppServices& operator=(const FakeAppServices&) = delete;

    // The fakes below as an AppState's services, with no shared suite and no
    // notifications. The network answers nothing unless the test serves it.
    app::AppState::Services services() const {
        app::AppState::Services s;
        s.standardDefaults = defaults;
        s.pasteboard = pasteboard;
        s.timers = timers;
        s.mainQueue = mainQueue;
        s.executor = executor;
        s.clock = clock;
        s.monotonicClock = monotonicClock;
        s.bundle = &bundle;
        s.transport = http;
        return s;
    }

    ResourceBundle bundle{SCOURLET_BUNDLE_DIR};
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<InMemoryPasteboard> pasteboard = std::make_shared<InMemoryPasteboard>();
    std::shared_ptr<ManualTimerScheduler> timers = std::make_shared<ManualTimerScheduler>();
    std::shared_ptr<ManualMainQueue> mainQueue = std::make_shared<ManualMainQueue>();
    std::shared_ptr<ManualExecutor> executor = std::make_shared<ManualExecutor>();
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<ManualMonotonicClock> monotonicClock = std::make_shared<ManualMonotonicClock>();
    std::shared_ptr<FakeHttpTransport> http = std::make_shared<FakeHttpTransport>();
};

}  // namespace scourlet::testing
