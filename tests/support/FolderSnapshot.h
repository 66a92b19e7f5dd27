// What a folder holds, to check that a failed run left it exactly as it was.
//
//   const auto before = folderSnapshot(out);
//   EXPECT_EQ(folderSnapshot(out), before);
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace scourlet::testing {

// Every file and folder below `folder` by its path relative to it: the bytes
// of a file, "<folder>" for a folder, "<other>" for anything else. Empty when
// `folder` does not exist.
std::map<std::string, std::string> folderSnapshot(const std::filesystem::path& folder);

}  // namespace scourlet::testing
