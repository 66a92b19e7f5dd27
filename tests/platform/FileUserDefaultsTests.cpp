#include "ScourletCore/platform/FileUserDefaults.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/platform/DefaultsSuites.h"
#include "support/ForkedProcesses.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

extern char** environ;

namespace scourlet {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;

// A value's text with every kind spelled out, so that 1 and 1.0, or data and
// an array of numbers, never compare equal.
std::string describe(const Json& value) {
    switch (value.type()) {
        case Json::value_t::number_integer:
            return "int:" + value.dump();
        case Json::value_t::number_unsigned:
            return "uint:" + value.dump();
        case Json::value_t::number_float:
            return "double:" + value.dump();
        case Json::value_t::binary: {
            std::string out = "data:";
            for (auto byte : value.get_binary()) {
                out += std::to_string(byte) + ",";
            }
            return out;
        }
        case Json::value_t::array: {
            std::string out = "[";
            for (const auto& element : value) {
                out += describe(element) + ";";
            }
            return out + "]";
        }
        case Json::value_t::object: {
            std::string out = "{";
            for (const auto& [key, member] : value.items()) {
                out += Json(key).dump() + "=" + describe(member) + ";";
            }
            return out + "}";
        }
        default:
            return value.dump();
    }
}

std::vector<fs::path> corruptCopies(const fs::path& file) {
    std::vector<fs::path> found;
    const std::string prefix = file.filename().string() + ".corrupt-";
    for (const auto& entry : fs::directory_iterator(file.parent_path())) {
        if (entry.path().filename().string().starts_with(prefix)) {
            found.push_back(entry.path());
        }
    }
    return found;
}

// Polls `condition` until it holds or `limit` has passed; true when it held.
template <class Condition>
bool eventually(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool fileHolds(const fs::path& file, const std::string& key) {
    return FileUserDefaults::readOnlySnapshot(file).count(key) == 1;
}

// The settings file's lock, held the way another process holds it while it
// writes.
class HeldFileLock {
public:
    explicit HeldFileLock(const fs::path& file)
        : fd_(::open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        locked_ = fd_ >= 0 && ::flock(fd_, LOCK_EX) == 0;
    }
    ~HeldFileLock() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    HeldFileLock(const HeldFileLock&) = delete;
    HeldFileLock& operator=(const HeldFileLock&) = delete;
    bool locked() const { return locked_; }

private:
    int fd_;
    bool locked_ = false;
};

class FileUserDefaultsTest : public ::testing::Test {
protected:
    TempDir dir;
    fs::path file = dir / "suite.json";
};

TEST_F(FileUserDefaultsTest, EveryKindReadsBackExactlyFromTheFile) {
    const std::pair<const char*, Json> values[] = {
        {"bool", true},
        {"int", std::int64_t{1}},
        {"whole double", 1.0},
        {"negative zero", -0.0},
        {"tiny double", 5e-324},
        {"int64 min", std::numeric_limits<std::int64_t>::min()},
        {"int64 max", std::numeric_limits<std::int64_t>::max()},
        {"text", "héllo \"quoted\" \u2603 \\ /"},
        {"text with NUL", std::string("a\0b", 3)},
        {"empty data", Json::binary({})},
        {"data", Json::binary({0x00, 0xFF, 0x10, 0x80, 0x7F})},
        {"nested", Json::object({{"list", Json::array({1, 2.5, "x", Json::binary({9}),
                                                       Json::array({Json::object()})})},
                                 {"flag", false}})},
        {"dict that looks like data", Json::object({{"$data", "AQID"}})},
        {"dict that looks like data with bytes", Json::object({{"$data", Json::binary({1})}})},
        {"dict that looks like a wrapper", Json::object({{"$dict", Json::object({{"a", 1}})}})},
        {"wrapper inside wrapper", Json::object({{"$dict", Json::object({{"$data", "x"}})}})},
        {"two marker keys", Json::object({{"$data", "AQID"}, {"$dict", 1}})},
        {"array of markers", Json::array({Json::object({{"$dict", 2}})})},
    };
    {
        FileUserDefaults writer(file);
        for (const auto& [key, value] : values) {
            writer.set(key, value);
        }
        EXPECT_EQ(writer.lastWriteError(), std::nullopt);
    }
    FileUserDefaults reader(file);
    for (const auto& [key, value] : values) {
        SCOPED_TRACE(key);
        const auto read = reader.object(key);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(describe(*read), describe(value));
    }
    EXPECT_EQ(reader.dictionaryRepresentation().size(), std::size(values));
}

TEST_F(FileUserDefaultsTest, FileFormatMarksDataAndEscapesLookalikes) {
    FileUserDefaults defaults(file);
    defaults.setData("bytes", {1, 2, 3});
    defaults.set("lookalike", Json::object({{"$data", "AQID"}}));
    defaults.set("plain", Json::object({{"a", 1}}));
    defaults.setDouble("double", 1.0);
    ASSERT_TRUE(defaults.synchronize());

    const auto parsed = Json::parse(readFile(file));
    EXPECT_EQ(parsed["bytes"], Json::object({{"$data", "AQID"}}));
    EXPECT_EQ(parsed["lookalike"], Json::object({{"$dict", Json::object({{"$data", "AQID"}})}}));
    EXPECT_EQ(parsed["plain"], Json::object({{"a", 1}}));
    EXPECT_TRUE(parsed["double"].is_number_float());
}

TEST_F(FileUserDefaultsTest, ReadsHandWrittenFiles) {
    writeFile(file, R"({"count": 5, "ratio": 1.5, "blob": {"$data": "AQID"},
                        "wrapped": {"$dict": {"$data": "not data"}}, "n": 12345678901234})");
    FileUserDefaults defaults(file);
    EXPECT_TRUE(defaults.object("count")->is_number_integer());
    EXPECT_EQ(defaults.integerForKey("count"), 5);
    EXPECT_EQ(defaults.doubleForKey("ratio"), 1.5);
    EXPECT_EQ(defaults.dataForKey("blob"), (DefaultsData{1, 2, 3}));
    EXPECT_EQ(defaults.dictionaryForKey("wrapped"), Json::object({{"$data", "not data"}}));
    EXPECT_EQ(defaults.integerForKey("n"), 12345678901234);
}

TEST_F(FileUserDefaultsTest, DatesAreWrittenAsSecondsAndReadBackAsDates) {
    using std::chrono::system_clock;
    const system_clock::time_point date =
        system_clock::time_point(std::chrono::seconds(1'800'000'000)) +
        std::chrono::milliseconds(500);
    {
        FileUserDefaults writer(file);
        writer.setDate("date", date);
        writer.set("lookalike", Json::object({{"$date", 5}}));
        writer.set("dates in a list", Json::array({Json::object({{"$date", 1}})}));
        ASSERT_TRUE(writer.synchronize());
    }
    const auto parsed = Json::parse(readFile(file));
    EXPECT_EQ(parsed["date"], Json::object({{"$date", 1'800'000'000.5}}));
    EXPECT_EQ(parsed["lookalike"], Json::object({{"$dict", Json::object({{"$date", 5}})}}));

    FileUserDefaults reader(file);
    EXPECT_EQ(reader.dateForKey("date"), date);
    EXPECT_EQ(reader.dictionaryForKey("lookalike"), Json::object({{"$date", 5}}));
    EXPECT_EQ(reader.arrayForKey("dates in a list"), Json::array({Json::object({{"$date", 1}})}));
}

TEST_F(FileUserDefaultsTest, HandWrittenDatesOutsideTheClockReadAsNoDate) {
    writeFile(file, R"({"whole": {"$date": 1800000000}, "far": {"$date": 1e300},
                        "negative far": {"$date": -1e19}, "number": 1800000000})");
    FileUserDefaults defaults(file);
    EXPECT_EQ(defaults.dateForKey("whole"),
              std::chrono::system_clock::time_point(std::chrono::seconds(1'800'000'000)));
    EXPECT_EQ(defaults.dateForKey("far"), std::nullopt);
    EXPECT_EQ(defaults.dateForKey("negative far"), std::nullopt);
    EXPECT_EQ(defaults.dateForKey("number"), std::nullopt) << "a number is never a date";
    EXPECT_TRUE(defaults.contains("far")) << "kept as it was, only not readable as a date";
}

TEST_F(FileUserDefaultsTest, ReadsCreateNothing) {
    FileUserDefaults defaults(dir / "sub" / "suite.json");
    EXPECT_FALSE(defaults.contains("k"));
    EXPECT_TRUE(defaults.dictionaryRepresentation().empty());
    EXPECT_FALSE(fs::exists(dir / "sub"));
}

TEST_F(FileUserDefaultsTest, UndecodableFilesAreMovedAsideAndKept) {
    const std::pair<const char*, std::string> cases[] = {
        {"not JSON", "{\"a\": 1"},
        {"not an object", "[1, 2]"},
        {"null value", R"({"a": null})"},
        {"bad base64", R"({"a": {"$data": "!!"}})"},
        {"data marker without text", R"({"a": {"$data": 1}})"},
        {"wrapper without a dictionary", R"({"a": {"$dict": 3}})"},
        {"integer beyond 64 bits", R"({"a": 18446744073709551615})"},
        {"invalid UTF-8", "{\"a\": \"\xC3\x28\"}"},
    };
    for (const auto& [name, contents] : cases) {
        SCOPED_TRACE(name);
        TempDir caseDir;
        const fs::path caseFile = caseDir / "suite.json";
        writeFile(caseFile, contents);

        FileUserDefaults defaults(caseFile);
        EXPECT_FALSE(defaults.contains("a"));
        EXPECT_FALSE(fs::exists(caseFile));
        const auto copies = corruptCopies(caseFile);
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_EQ(readFile(copies[0]), contents);

        defaults.setInteger("fresh", 1);
        ASSERT_TRUE(defaults.synchronize());
        EXPECT_EQ(FileUserDefaults(caseFile).dictionaryRepresentation().size(), 1u);
        EXPECT_EQ(readFile(copies[0]), contents) << "the moved copy is kept";
    }
}

TEST_F(FileUserDefaultsTest, RepeatedCorruptionKeepsEveryCopy) {
    for (int i = 0; i < 3; ++i) {
        writeFile(file, "garbage " + std::to_string(i));
        FileUserDefaults defaults(file);
        defaults.setBool("k", true);  // a write finds the file undecodable too
    }
    const auto copies = corruptCopies(file);
    ASSERT_EQ(copies.size(), 3u) << "copies made within one second get distinct names";
    std::vector<std::string> contents;
    for (const auto& copy : copies) {
        contents.push_back(readFile(copy));
    }
    std::sort(contents.begin(), contents.end());
    EXPECT_EQ(contents, (std::vector<std::string>{"garbage 0", "garbage 1", "garbage 2"}));
}

TEST_F(FileUserDefaultsTest, APipeAtTheFilePathDoesNotHangReads) {
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    FileUserDefaults defaults(file);
    EXPECT_FALSE(defaults.contains("anything"));
    EXPECT_TRUE(FileUserDefaults::readOnlySnapshot(file).empty());
}

TEST_F(FileUserDefaultsTest, EmptyFileIsAnEmptyStore) {
    writeFile(file, "");
    FileUserDefaults defaults(file);
    EXPECT_TRUE(defaults.dictionaryRepresentation().empty());
    EXPECT_TRUE(corruptCopies(file).empty());
}

TEST_F(FileUserDefaultsTest, SeesChangesOfAnotherWriter) {
    FileUserDefaults first(file);
    FileUserDefaults second(file);
    first.setString("a", "one");
    ASSERT_TRUE(first.synchronize());
    EXPECT_EQ(second.stringForKey("a"), "one");

    second.setString("b", "two");
    second.setString("a", "changed");
    ASSERT_TRUE(second.synchronize());
    EXPECT_EQ(first.stringForKey("a"), "changed");

    first.setString("c", "three");  // must keep what the other object wrote
    ASSERT_TRUE(first.synchronize());
    FileUserDefaults third(file);
    EXPECT_EQ(third.stringForKey("b"), "two");
    EXPECT_EQ(third.stringForKey("c"), "three");

    second.removeObject("b");
    ASSERT_TRUE(second.synchronize());
    EXPECT_FALSE(first.contains("b"));

    fs::remove(file);
    EXPECT_TRUE(first.dictionaryRepresentation().empty()) << "a deleted file empties the store";
}

TEST_F(FileUserDefaultsTest, SeesAFileRewrittenInPlace) {
    FileUserDefaults defaults(file);
    defaults.setInteger("n", 1);
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(defaults.integerForKey("n"), 1);
    writeFile(file, R"({"n": 22})");  // an editor saving over the same file
    EXPECT_EQ(defaults.integerForKey("n"), 22);
}

TEST_F(FileUserDefaultsTest, WritesThroughASymbolicLink) {
    const fs::path real = dir / "real" / "settings.json";
    fs::create_directories(real.parent_path());
    fs::create_symlink(real, file);
    FileUserDefaults defaults(file);
    defaults.setInteger("n", 3);
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(FileUserDefaults(real).integerForKey("n"), 3);
}

TEST_F(FileUserDefaultsTest, FailedWritesKeepTheValueAndRetryLater) {
    const fs::path blocker = dir / "blocked";
    writeFile(blocker, "a file where the folder should be");
    const fs::path blockedFile = blocker / "suite.json";

    FileUserDefaults defaults(blockedFile);
    int calls = 0;
    Connection c = defaults.observe("first", [&] { ++calls; });
    defaults.setInteger("first", 1);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(defaults.synchronize());
    EXPECT_EQ(defaults.integerForKey("first"), 1) << "the value stays visible";
    EXPECT_TRUE(defaults.lastWriteError().has_value());

    fs::remove(blocker);
    defaults.setInteger("second", 2);
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_EQ(defaults.lastWriteError(), std::nullopt);
    FileUserDefaults reader(blockedFile);
    EXPECT_EQ(reader.integerForKey("first"), 1) << "the earlier change was written too";
    EXPECT_EQ(reader.integerForKey("second"), 2);
}

TEST_F(FileUserDefaultsTest, AFailedBackgroundWriteIsRetriedWithoutAFurtherChange) {
    const fs::path blocker = dir / "blocked";
    writeFile(blocker, "a file where the folder should be");
    const fs::path blockedFile = blocker / "suite.json";

    FileUserDefaults defaults(blockedFile);
    defaults.setInteger("k", 1);
    ASSERT_TRUE(eventually([&] { return defaults.lastWriteError().has_value(); }));
    EXPECT_EQ(defaults.integerForKey("k"), 1);

    fs::remove(blocker);
    EXPECT_TRUE(eventually([&] { return fileHolds(blockedFile, "k"); }));
    EXPECT_TRUE(eventually([&] { return !defaults.lastWriteError().has_value(); }));
}

TEST_F(FileUserDefaultsTest, ManyChangesInARowAreWrittenTogetherLater) {
    FileUserDefaults defaults(file);
    DefaultsData counts(15 * 1024, 0x5A);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i) {
        counts[0] = static_cast<std::uint8_t>(i);
        defaults.setData("counts", counts);
        defaults.setInteger("n", i);
    }
    const bool writtenMeanwhile = fs::exists(file);
    // No write is due before the quiet delay after the first change has passed;
    // a machine too slow to make the changes within it cannot tell.
    if (std::chrono::steady_clock::now() - start < FileUserDefaults::kFlushQuietDelay) {
        EXPECT_FALSE(writtenMeanwhile) << "a change must not write the file by itself";
    }
    ASSERT_TRUE(defaults.synchronize());
    const auto values = FileUserDefaults::readOnlySnapshot(file);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values.at("n"), 99);
    EXPECT_EQ(values.at("counts"), Json::binary(counts));
}

TEST_F(FileUserDefaultsTest, ChangesReachTheFileWithoutSynchronize) {
    FileUserDefaults defaults(file);
    defaults.setInteger("single", 1);
    EXPECT_TRUE(eventually([&] { return fileHolds(file, "single"); }));

    // Changes that keep coming faster than the quiet delay must not put the
    // write off for good.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool written = false;
    for (int i = 0; !written && std::chrono::steady_clock::now() < deadline; ++i) {
        defaults.setInteger("stream", i);
        written = fileHolds(file, "stream");
        std::this_thread::sleep_for(FileUserDefaults::kFlushQuietDelay / 10);
    }
    EXPECT_TRUE(written);
}

TEST_F(FileUserDefaultsTest, PendingChangesWinOverAFileAnotherWriterReplaced) {
    FileUserDefaults defaults(file);
    defaults.setInteger("n", 1);
    defaults.setInteger("gone", 1);
    ASSERT_TRUE(defaults.synchronize());
    {
        // Another process writes under the lock, so this object's write waits.
        HeldFileLock otherWriter(file);
        ASSERT_TRUE(otherWriter.locked());
        defaults.setInteger("n", 2);
        defaults.removeObject("gone");
        writeFile(dir / "other.json", R"({"n": 3, "gone": 3, "other": "x"})");
        fs::rename(dir / "other.json", file);

        EXPECT_EQ(defaults.integerForKey("n"), 2) << "a pending change wins";
        EXPECT_FALSE(defaults.contains("gone")) << "so does a pending removal";
        EXPECT_EQ(defaults.stringForKey("other"), "x") << "the other writer's keys show";
        EXPECT_TRUE(fileHolds(file, "gone")) << "nothing was written under the other's lock";
    }
    ASSERT_TRUE(defaults.synchronize());
    const auto values = FileUserDefaults::readOnlySnapshot(file);
    EXPECT_EQ(values, (std::map<std::string, DefaultsValue>{{"n", 2}, {"other", "x"}}));
}

TEST_F(FileUserDefaultsTest, AnUpdateIsMadeAgainOnWhatAnotherWriterWrote) {
    const DefaultsValueChange addOne = [](std::optional<DefaultsValue> value) {
        return DefaultsValue(value ? value->get<std::int64_t>() + 1 : 1);
    };
    FileUserDefaults defaults(file);
    defaults.setInteger("count", 1);
    defaults.setInteger("replaced", 1);
    ASSERT_TRUE(defaults.synchronize());
    {
        HeldFileLock otherWriter(file);
        ASSERT_TRUE(otherWriter.locked());
        defaults.update("count", addOne);
        defaults.update("replaced", addOne);
        defaults.setInteger("replaced", 7);  // a value set outright replaces the updates before it
        defaults.update("replaced", addOne);
        EXPECT_EQ(defaults.integerForKey("count"), 2);
        writeFile(dir / "other.json", R"({"count": 10, "replaced": 100})");
        fs::rename(dir / "other.json", file);
        EXPECT_EQ(defaults.integerForKey("count"), 11) << "the other writer's count plus ours";
        EXPECT_EQ(defaults.integerForKey("replaced"), 8);
    }
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(FileUserDefaults::readOnlySnapshot(file),
              (std::map<std::string, DefaultsValue>{{"count", 11}, {"replaced", 8}}));
    defaults.update("count", addOne);
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(FileUserDefaults(file).integerForKey("count"), 12) << "a written update is made once";
}

TEST_F(FileUserDefaultsTest, ProcessesChangingOneListAndCounterAtOnceKeepEveryChange) {
    constexpr int kProcesses = 4;
    constexpr int kChanges = 100;
    const bool succeeded = testing::runInForkedProcesses(kProcesses, [&](int process) {
        FileUserDefaults defaults(file);
        for (int i = 0; i < kChanges; ++i) {
            const std::string entry = std::to_string(process) + "-" + std::to_string(i);
            defaults.update("list", [entry](std::optional<DefaultsValue> value) {
                DefaultsValue list = value && value->is_array() ? *value : Json::array();
                list.push_back(entry);
                return list;
            });
            defaults.update("count", [](std::optional<DefaultsValue> value) {
                return DefaultsValue(value ? value->get<std::int64_t>() + 1 : 1);
            });
            // Half the processes write every change at once; the others leave
            // theirs to the background writer and the end.
            if (process % 2 == 0 && !defaults.synchronize()) {
                return false;
            }
        }
        return defaults.synchronize();
    });
    ASSERT_TRUE(succeeded);
    FileUserDefaults reader(file);
    EXPECT_EQ(reader.integerForKey("count"), kProcesses * kChanges);
    const auto list = reader.stringArrayForKey("list");
    ASSERT_TRUE(list.has_value());
    const std::set<std::string> distinct(list->begin(), list->end());
    EXPECT_EQ(list->size(), static_cast<std::size_t>(kProcesses * kChanges));
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(kProcesses * kChanges));
}

TEST_F(FileUserDefaultsTest, DiscardedChangesAreNeverWritten) {
    writeFile(file, R"({"kept": 1})");
    FileUserDefaults defaults(file);
    defaults.setInteger("kept", 2);
    defaults.update("added", [](std::optional<DefaultsValue>) { return DefaultsValue(3); });
    defaults.discardUnsavedChanges();
    EXPECT_EQ(defaults.integerForKey("kept"), 1) << "back to what the file holds";
    EXPECT_FALSE(defaults.contains("added"));
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_EQ(FileUserDefaults::readOnlySnapshot(file),
              (std::map<std::string, DefaultsValue>{{"kept", 1}}));

    // A change that could not be written and is then discarded is not written
    // once writing works again.
    const fs::path blocker = dir / "blocked";
    writeFile(blocker, "a file where the folder should be");
    FileUserDefaults blocked(blocker / "suite.json");
    blocked.setInteger("k", 1);
    ASSERT_FALSE(blocked.synchronize());
    blocked.discardUnsavedChanges();
    EXPECT_FALSE(blocked.contains("k"));
    fs::remove(blocker);
    blocked.setInteger("other", 2);
    ASSERT_TRUE(blocked.synchronize());
    EXPECT_EQ(FileUserDefaults::readOnlySnapshot(blocker / "suite.json"),
              (std::map<std::string, DefaultsValue>{{"other", 2}}));
}

TEST_F(FileUserDefaultsTest, DestructionWritesPendingChanges) {
    writeFile(file, R"({"old": 1, "kept": 2})");
    {
        FileUserDefaults defaults(file);
        defaults.removeObject("old");
        defaults.setInteger("new", 3);
    }
    EXPECT_EQ(FileUserDefaults::readOnlySnapshot(file),
              (std::map<std::string, DefaultsValue>{{"kept", 2}, {"new", 3}}));
}

TEST_F(FileUserDefaultsTest, ThreadsAndObjectsInOneProcessLoseNothing) {
    FileUserDefaults first(file);
    FileUserDefaults second(file);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            FileUserDefaults& target = t % 2 == 0 ? first : second;
            for (int i = 0; i < 50; ++i) {
                target.setInteger("t" + std::to_string(t) + "-" + std::to_string(i), i);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    ASSERT_TRUE(first.synchronize());
    ASSERT_TRUE(second.synchronize());
    EXPECT_EQ(FileUserDefaults(file).dictionaryRepresentation().size(), 200u);
}

TEST_F(FileUserDefaultsTest, SuiteIsOneObjectPerNameInTheConfigHome) {
    testing::ScopedEnvironment env;
    env.set("XDG_CONFIG_HOME", dir.path().string());
    auto a = FileUserDefaults::suite(kAppGroupSuiteName);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, FileUserDefaults::suite("group.com.morrowgate.scourlet"));
    EXPECT_NE(a, FileUserDefaults::suite(kApplicationSuiteName));
    EXPECT_EQ(a->file(), dir / "scourlet" / "group.com.morrowgate.scourlet.json");
    a->setBool("shared", true);
    ASSERT_TRUE(a->synchronize());  // nothing is left to write into the removed folder at exit
    EXPECT_TRUE(FileUserDefaults(a->file()).boolForKey("shared"));

    for (const char* bad : {"", ".", "..", "a/b"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(FileUserDefaults::suite(bad), nullptr);
    }
    env.unset("XDG_CONFIG_HOME");
    env.unset("HOME");
    EXPECT_EQ(FileUserDefaults::suite(kApplicationSuiteName), nullptr);
}

// The children of the process tests below: they run only when one of those
// tests starts this program with the variables set.
constexpr const char* kChildFileVariable = "SCOURLET_DEFAULTS_CHILD_FILE";
constexpr const char* kChildPrefixVariable = "SCOURLET_DEFAULTS_CHILD_PREFIX";
constexpr const char* kChildGoVariable = "SCOURLET_DEFAULTS_CHILD_GO";
constexpr const char* kChildConfigHomeVariable = "SCOURLET_DEFAULTS_CHILD_CONFIG_HOME";
constexpr const char* kExitSuiteName = "written-at-exit";
constexpr int kKeysPerProcess = 200;

TEST(FileUserDefaultsChildProcess, WritesItsKeysWhenStartedByTheTwoProcessTest) {
    const char* file = std::getenv(kChildFileVariable);
    const char* prefix = std::getenv(kChildPrefixVariable);
    const char* go = std::getenv(kChildGoVariable);
    if (file == nullptr || prefix == nullptr || go == nullptr) {
        GTEST_SKIP() << "runs only as a child of TwoProcessesWritingAtOnceLoseNoKey";
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(go)) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "never told to start";
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    FileUserDefaults defaults{fs::path(file)};
    for (int i = 0; i < kKeysPerProcess; ++i) {
        defaults.setInteger(std::string(prefix) + std::to_string(i), i);
        // One locked read-modify-write per key, so that the two processes'
        // writes interleave as often as they can.
        ASSERT_TRUE(defaults.synchronize());
        ASSERT_EQ(defaults.lastWriteError(), std::nullopt);
    }
}

TEST(FileUserDefaultsChildProcess, LeavesItsChangeToTheExitOfTheProcess) {
    const char* configHome = std::getenv(kChildConfigHomeVariable);
    if (configHome == nullptr) {
        GTEST_SKIP() << "runs only as a child of SuiteChangesAreWrittenWhenTheProcessExits";
    }
    ::setenv("XDG_CONFIG_HOME", configHome, 1);
    auto defaults = FileUserDefaults::suite(kExitSuiteName);
    ASSERT_NE(defaults, nullptr);
    defaults->setInteger("pid", ::getpid());  // no synchronize(): the exit must write it
}

// Starts this test program running only the tests that `filter` selects, with
// the environment of this process plus `variables` ("NAME=value").
pid_t spawnChild(const std::vector<std::string>& variables, const std::string& filter) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        // The child must not write the parent's test report (GTEST_OUTPUT and the like).
        if (!std::string_view(*entry).starts_with("GTEST_")) {
            environment.emplace_back(*entry);
        }
    }
    environment.insert(environment.end(), variables.begin(), variables.end());
    std::vector<char*> envp;
    for (auto& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    std::string program = "/proc/self/exe";
    std::string filterArgument = "--gtest_filter=" + filter;
    std::vector<char*> argv{program.data(), filterArgument.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int result =
        posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return result == 0 ? pid : -1;
}

pid_t spawnWriter(const fs::path& file, const std::string& prefix, const fs::path& go) {
    return spawnChild({std::string(kChildFileVariable) + "=" + file.string(),
                       std::string(kChildPrefixVariable) + "=" + prefix,
                       std::string(kChildGoVariable) + "=" + go.string()},
                      "FileUserDefaultsChildProcess.WritesItsKeys*");
}

TEST_F(FileUserDefaultsTest, TwoProcessesWritingAtOnceLoseNoKey) {
    if (!fs::exists("/proc/self/exe")) {
        GTEST_SKIP() << "needs /proc/self/exe to start itself";
    }
    const fs::path go = dir / "go";
    const pid_t a = spawnWriter(file, "a-", go);
    const pid_t b = spawnWriter(file, "b-", go);
    writeFile(go, "");  // both children start writing at once
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);

    for (const pid_t pid : {a, b}) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    }
    const auto values = FileUserDefaults(file).dictionaryRepresentation();
    EXPECT_EQ(values.size(), 2u * kKeysPerProcess);
    for (int i = 0; i < kKeysPerProcess; ++i) {
        for (const char* prefix : {"a-", "b-"}) {
            const auto it = values.find(prefix + std::to_string(i));
            ASSERT_NE(it, values.end()) << prefix << i;
            EXPECT_EQ(it->second, i);
        }
    }
    EXPECT_TRUE(corruptCopies(file).empty());
}

TEST_F(FileUserDefaultsTest, SuiteChangesAreWrittenWhenTheProcessExits) {
    if (!fs::exists("/proc/self/exe")) {
        GTEST_SKIP() << "needs /proc/self/exe to start itself";
    }
    const pid_t child =
        spawnChild({std::string(kChildConfigHomeVariable) + "=" + dir.path().string()},
                   "FileUserDefaultsChildProcess.LeavesItsChangeToTheExitOfTheProcess");
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    const auto values = FileUserDefaults::readOnlySnapshot(dir / "scourlet" /
                                                           (std::string(kExitSuiteName) + ".json"));
    ASSERT_EQ(values.count("pid"), 1u);
    EXPECT_EQ(values.at("pid"), child);
}

}  // namespace
}  // namespace scourlet
