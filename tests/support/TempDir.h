#pragma once

#include <filesystem>
#include <string_view>

namespace scourlet::testing {

// The temporary home folder of this test program (HOME points at it).
const std::filesystem::path& testHome();
void setTestHome(std::filesystem::path home);
// Makes a fresh temporary home with config, data, cache, state and runtime
// folders, points HOME and the XDG variables at it and records it as the test
// home. Returns an empty path when the folder cannot be made.
std::filesystem::path enterFreshTestHome();

// A fresh folder under the test home, removed when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Writes `contents` to `path`, creating parent folders.
void writeFile(const std::filesystem::path& path, std::string_view contents);
// The whole file, or an empty string when it cannot be read.
std::string readFile(const std::filesystem::path& path);

}  // namespace scourlet::testing
