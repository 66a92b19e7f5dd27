#include "support/TempDir.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>

namespace scourlet::testing {

namespace {
std::filesystem::path& homeStorage() {
    static std::filesystem::path home;
    return home;
}
}  // namespace

const std::filesystem::path& testHome() { return homeStorage(); }
void setTestHome(std::filesystem::path home) { homeStorage() = std::move(home); }

std::filesystem::path enterFreshTestHome() {
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "scourlet-test-home-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        return {};
    }
    const fs::path home(pattern);
    for (const char* sub : {"config", "data", "cache", "state", "runtime"}) {
        fs::create_directories(home / sub);
    }
    // The runtime folder is private, as the desktop's own is.
    fs::permissions(home / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
    setenv("XDG_STATE_HOME", (home / "state").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (home / "runtime").c_str(), 1);
    setTestHome(home);
    return home;
}

TempDir::TempDir() {
    const std::filesystem::path base =
        testHome().empty() ? std::filesystem::temp_directory_path() : testHome();
    std::string pattern = (base / "tmp-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void writeFile(const std::filesystem::path& path, std::string_view contents) {
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path());
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

}  // namespace scourlet::testing
