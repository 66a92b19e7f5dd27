// Entry point of every test program: HOME and the XDG folders point into a
// fresh temporary folder, so no test can read or write the user's own files.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <gtest/gtest.h>

#include "support/TempDir.h"

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "scourlet-test-home-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        return 2;
    }
    const fs::path home(pattern);
    for (const char* sub : {"config", "data", "cache", "state", "runtime"}) {
        fs::create_directories(home / sub);
    }
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
    setenv("XDG_STATE_HOME", (home / "state").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (home / "runtime").c_str(), 1);
    scourlet::testing::setTestHome(home);

    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    std::error_code ignored;
    fs::remove_all(home, ignored);
    return rc;
}
