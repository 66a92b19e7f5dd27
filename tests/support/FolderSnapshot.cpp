#include "support/FolderSnapshot.h"

#include "support/TempDir.h"

namespace scourlet::testing {

std::map<std::string, std::string> folderSnapshot(const std::filesystem::path& folder) {
    std::map<std::string, std::string> contents;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        const std::string name = std::filesystem::relative(it->path(), folder).string();
        if (it->is_directory()) {
            contents[name] = "<folder>";
        } else if (it->is_regular_file()) {
            contents[name] = readFile(it->path());
        } else {
            contents[name] = "<other>";
        }
    }
    return contents;
}

}  // namespace scourlet::testing
