// Shared pieces of the native host tests: a recording clipboard and a handler
// over in-memory settings, a fixed clock and a small rule bundle.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/ResourceBundle.h"
#include "safari-extension/ClipboardWriter.h"
#include "safari-extension/NativeMessageHandler.h"
#include "support/ManualClock.h"
#include "support/TempDir.h"

namespace scourlet::nativehost::testing {

class RecordingClipboard final : public ClipboardWriter {
public:
    Result<void> writeText(std::string_view text) override {
        if (failure) {
            return Error{*failure};
        }
        written.emplace_back(text);
        return {};
    }

    std::vector<std::string> written;
    std::optional<std::string> failure;
};

// Providers for "example.com" (drops "ref") on top of the built-in rules.
inline constexpr std::string_view kFixtureProviders = R"({"providers":{
    "example": {"urlPattern": "^https?://(?:[a-z0-9-]+\\.)*?example\\.com",
                "rules": ["ref"], "exceptions": [], "redirections": []}}})";

struct HandlerFixture {
    explicit HandlerFixture(
        std::shared_ptr<UserDefaults> ownDefaults = std::make_shared<InMemoryUserDefaults>())
        : defaults(std::move(ownDefaults)) {
        scourlet::testing::writeFile(bundleDir / "data.min.json", kFixtureProviders);
        handler = std::make_unique<NativeMessageHandler>(environment());
    }

    NativeMessageHandler::Environment environment() {
        NativeMessageHandler::Environment e;
        e.defaults = defaults;
        e.saveSettings = [this] {
            ++flushes;
            return true;
        };
        e.appGroupSettings = [this] { return appGroup; };
        e.rulesBundle = &bundle;
        e.clipboard = clipboard;
        e.clock = &clock;
        e.osVersion = "Debian GNU/Linux 12 (bookworm); kernel 6.1.0";
        e.appVersion = "1.4.2";
        e.appBuild = "42";
        e.catalogSource = [] { return std::optional<PrivacyServicesCatalog::Verified>(); };
        return e;
    }

    Json send(const Json& message) { return handler->handle(message); }

    scourlet::testing::TempDir dir;
    std::filesystem::path bundleDir = dir / "bundle";
    ResourceBundle bundle{bundleDir};
    std::shared_ptr<UserDefaults> defaults;
    std::shared_ptr<InMemoryUserDefaults> appGroup = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<RecordingClipboard> clipboard = std::make_shared<RecordingClipboard>();
    scourlet::testing::ManualClock clock;
    int flushes = 0;
    std::unique_ptr<NativeMessageHandler> handler;
};

}  // namespace scourlet::nativehost::testing
