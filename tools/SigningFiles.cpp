#include "SigningFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace scourlet::signtool {

namespace fs = std::filesystem;

std::optional<std::string> readFile(const fs::path& path, std::string_view what,
                                    std::string& error) {
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    if (in) {
        buffer << in.rdbuf();
    }
    if (!in || in.bad()) {
        error = "could not read " + std::string(what) + " " + path.string();
        if (errno != 0) {
            error.append(": ").append(std::strerror(errno));
        }
        return std::nullopt;
    }
    return buffer.str();
}

std::optional<std::string> writeFiles(
    std::initializer_list<std::pair<fs::path, std::string_view>> files) {
    for (const auto& [path, bytes] : files) {
        errno = 0;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            return "could not write " + path.string() +
                   (errno != 0 ? ": " + std::string(std::strerror(errno)) : std::string());
        }
    }
    return std::nullopt;
}

bool isInsideSourceTree(const fs::path& path) {
    std::error_code ec;
    const fs::path source = fs::weakly_canonical(SCOURLET_SOURCE_DIR, ec);
    const fs::path target = fs::weakly_canonical(fs::absolute(path), ec);
    const auto [sourceEnd, targetIt] =
        std::mismatch(source.begin(), source.end(), target.begin(), target.end());
    return sourceEnd == source.end();
}

}  // namespace scourlet::signtool
