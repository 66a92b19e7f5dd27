#include "ScourletCore/platform/BoundedFileRead.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace scourlet {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::writeFile;

TEST(BoundedFileRead, ReadsOnlyRegularFilesWithinTheCap) {
    TempDir dir;
    writeFile(dir / "ten", "0123456789");
    writeFile(dir / "empty", "");
    fs::create_directories(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    fs::create_symlink(dir / "ten", dir / "link");

    EXPECT_EQ(readFileAtMost(dir / "ten", 10), "0123456789");
    EXPECT_EQ(readFileAtMost(dir / "ten", 9), std::nullopt);
    EXPECT_EQ(readFileAtMost(dir / "empty", 0), "");
    EXPECT_EQ(readFileAtMost(dir / "missing", 10), std::nullopt);
    EXPECT_EQ(readFileAtMost(dir / "folder", 10), std::nullopt);
    EXPECT_EQ(readFileAtMost(dir / "pipe", 10), std::nullopt);
    EXPECT_EQ(readFileAtMost(dir / "link", 10), "0123456789");
    EXPECT_EQ(readFileAtMost(dir / "link", 10, SymlinkPolicy::refuse), std::nullopt);
}

}  // namespace
}  // namespace scourlet
