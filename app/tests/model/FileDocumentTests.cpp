#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "app/settings/CSVDocument.h"
#include "app/settings/RulesDocument.h"
#include "support/TempDir.h"

namespace scourlet::app {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;

QString qpath(const fs::path& path) {
    return QString::fromStdString(path.string());
}

TEST(FileDocumentTest, WritesExactlyTheBytesGiven) {
    TempDir dir;
    struct Case {
        const char* name;
        std::string bytes;
        bool csv;
    };
    const Case cases[] = {
        {"empty rules export", "", false},
        {"rules export", "{\"rules\":[]}\n", false},
        {"empty csv", "", true},
        // Middle dot and ellipsis as UTF-8, no byte-order mark, no line ending added.
        {"non-ASCII csv", "Window,Section,Label,Count\nToday,Cat \xC2\xB7 x,\xE2\x80\xA6,0", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = dir / "out";
        const auto failed = c.csv ? CSVDocument{c.bytes}.write(qpath(file))
                                  : RulesDocument{c.bytes}.write(qpath(file));
        EXPECT_FALSE(failed.has_value()) << failed.value_or("");
        EXPECT_EQ(fs::file_size(file), c.bytes.size());
        EXPECT_EQ(readFile(file), c.bytes);
    }
}

TEST(FileDocumentTest, AFailedWriteLeavesTheOldFileAndSaysWhy) {
    TempDir dir;
    const fs::path existing = dir / "Scourlet-Stats.csv";
    writeFile(existing, "old");
    // The target is a folder: nothing can replace it.
    const fs::path folder = dir / "folder.csv";
    fs::create_directories(folder);
    struct Case {
        const char* name;
        fs::path target;
        std::string content;
    };
    const Case cases[] = {
        {"target is a folder", folder, "a,b"},
        {"folder of the target is missing", dir / "missing" / "x.csv", "a,b"},
        {"text is not UTF-8", existing, "bad \xFF byte"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto failed = CSVDocument{c.content}.write(qpath(c.target));
        ASSERT_TRUE(failed.has_value());
        EXPECT_NE(failed->find(c.target.string()), std::string::npos) << *failed;
    }
    EXPECT_EQ(readFile(existing), "old");
    EXPECT_TRUE(fs::is_directory(folder));
}

TEST(FileDocumentTest, ReadsAreBoundedAndNeverFail) {
    TempDir dir;
    writeFile(dir / "good.csv", "a,\xE2\x80\xA6");
    writeFile(dir / "latin1.csv", "caf\xE9");
    writeFile(dir / "rules.json", "{}");
    EXPECT_EQ(CSVDocument::read(qpath(dir / "good.csv")).content, "a,\xE2\x80\xA6");
    EXPECT_EQ(CSVDocument::read(qpath(dir / "latin1.csv")).content, "");
    EXPECT_EQ(CSVDocument::read(qpath(dir / "absent.csv")).content, "");
    EXPECT_EQ(RulesDocument::read(qpath(dir / "rules.json")).data, "{}");
    EXPECT_EQ(RulesDocument::read(qpath(dir.path())).data, "");
}

}  // namespace
}  // namespace scourlet::app
