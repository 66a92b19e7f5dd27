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
    const fs::path home = scourlet::testing::enterFreshTestHome();
    if (home.empty()) {
        return 2;
    }

    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    std::error_code ignored;
    fs::remove_all(home, ignored);
    return rc;
}
