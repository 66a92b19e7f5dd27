#include "SigningFiles.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "ScourletCore/platform/AtomicFileWrite.h"

namespace scourlet::signtool {

namespace fs = std::filesystem;

namespace {

// The core's messages begin as sentences; the tool's continue its own.
std::string continuing(std::string message) {
    if (!message.empty()) {
        message[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(message[0])));
    }
    return message;
}

// One file on its way in: its new bytes beside it, and its previous bytes
// beside it too when it had some, to be put back if a later file cannot be
// moved in.
struct StagedFile {
    fs::path path;
    fs::path next;
    std::optional<fs::path> previous;
};

void removeStaged(const std::vector<StagedFile>& staged, std::size_t from) {
    std::error_code ec;
    for (std::size_t i = from; i < staged.size(); ++i) {
        fs::remove(staged[i].next, ec);
        if (staged[i].previous) {
            fs::remove(*staged[i].previous, ec);
        }
    }
}

// Puts back what the first `count` files held before they were moved in;
// the messages of those that could not be.
std::vector<std::string> putBack(const std::vector<StagedFile>& staged, std::size_t count) {
    std::vector<std::string> lost;
    for (std::size_t i = 0; i < count; ++i) {
        if (staged[i].previous) {
            if (auto back = moveIntoPlace(*staged[i].previous, staged[i].path); !back) {
                lost.push_back(continuing(back.error().message));
            }
        } else if (std::error_code ec; !fs::remove(staged[i].path, ec) && ec) {
            lost.push_back("could not remove " + staged[i].path.string() + ": " + ec.message());
        }
    }
    return lost;
}

}  // namespace

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

std::optional<std::string> writeFilesTogether(const std::vector<OutputFile>& files) {
    const std::string unchanged = "; every file is as it was";
    std::vector<StagedFile> staged;
    for (const OutputFile& file : files) {
        std::optional<std::string> previous;
        if (std::error_code ec; fs::is_regular_file(file.path, ec)) {
            std::string error;
            previous = readFile(file.path, "the file to replace", error);
            if (!previous) {
                removeStaged(staged, 0);
                return error + unchanged;
            }
        }
        auto next = writeTemporaryFileBeside(file.path, file.bytes);
        if (!next) {
            removeStaged(staged, 0);
            return continuing(next.error().message) + unchanged;
        }
        staged.push_back({file.path, *next, std::nullopt});
        if (previous) {
            auto kept = writeTemporaryFileBeside(file.path, *previous);
            if (!kept) {
                removeStaged(staged, 0);
                return continuing(kept.error().message) + unchanged;
            }
            staged.back().previous = *kept;
        }
    }
    for (std::size_t i = 0; i < staged.size(); ++i) {
        if (auto moved = moveIntoPlace(staged[i].next, staged[i].path); !moved) {
            const auto lost = putBack(staged, i);
            removeStaged(staged, i);
            std::string message = continuing(moved.error().message);
            if (lost.empty()) {
                return message + unchanged;
            }
            for (const std::string& each : lost) {
                message += "; " + each;
            }
            return message;
        }
    }
    for (const StagedFile& each : staged) {
        if (each.previous) {
            std::error_code ec;
            fs::remove(*each.previous, ec);
        }
    }
    return std::nullopt;
}

Result<std::vector<fs::path>, std::string> makeFolders(const fs::path& folder) {
    std::vector<fs::path> made;
    fs::path current;
    for (const fs::path& part : folder) {
        current /= part;
        if (part.empty()) {
            continue;  // what a final "/" gives
        }
        std::error_code ec;
        const fs::file_status status = fs::status(current, ec);
        if (fs::is_directory(status)) {
            continue;
        }
        std::string problem;
        if (fs::exists(status)) {
            problem = "a file stands where it goes";
        } else if (::mkdir(current.c_str(), 0777) != 0) {
            problem = std::strerror(errno);
        }
        if (!problem.empty()) {
            removeFolders(made);
            return "could not make the folder " + current.string() + ": " + problem;
        }
        made.push_back(current);
    }
    return made;
}

void removeFolders(const std::vector<fs::path>& made) {
    for (auto folder = made.rbegin(); folder != made.rend(); ++folder) {
        std::error_code ec;
        fs::remove(*folder, ec);  // only while empty
    }
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
