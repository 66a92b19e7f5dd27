// Entry point of the Qt Test programs: HOME and the XDG folders point into a
// fresh temporary folder (as in every test program), then the registered test
// classes run under one QApplication.
#include "QtTestMain.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <system_error>
#include <vector>

#include <QApplication>
#include <QTest>

#include "support/TempDir.h"

namespace scourlet::testing {

namespace {
std::map<std::string, QtTestFactory>& registry() {
    static std::map<std::string, QtTestFactory> tests;
    return tests;
}
}  // namespace

bool registerQtTest(std::string name, QtTestFactory factory) {
    registry().emplace(std::move(name), std::move(factory));
    return true;
}

}  // namespace scourlet::testing

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const fs::path home = scourlet::testing::enterFreshTestHome();
    if (home.empty()) {
        return 2;
    }
    // Never talk to the developer's own session bus or notification service.
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);

    // "--class Name" picks one class; the remaining arguments go to Qt Test.
    std::string only;
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--class") == 0 && i + 1 < argc) {
            only = argv[++i];
        } else {
            rest.push_back(argv[i]);
        }
    }
    int restCount = static_cast<int>(rest.size());
    QApplication application(restCount, rest.data());
    QApplication::setQuitOnLastWindowClosed(false);

    int failures = 0;
    bool ran = false;
    for (const auto& [name, factory] : scourlet::testing::registry()) {
        if (!only.empty() && name != only) {
            continue;
        }
        ran = true;
        std::unique_ptr<QObject> test = factory();
        failures += QTest::qExec(test.get(), restCount, rest.data());
    }
    std::error_code ignored;
    fs::remove_all(home, ignored);
    if (!ran) {
        std::fprintf(stderr, "No test class named %s\n", only.c_str());
        return 2;
    }
    return failures == 0 ? 0 : 1;
}
