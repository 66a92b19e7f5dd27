// Runs a built program in a child process, as a shell would but without one,
// optionally on a "disk" that fills up after a given number of bytes.
//
//   int status = runProgram(tool, {"sign", "--out", out}, dir / "log.txt");
//   int full = runProgram(tool, arguments, dir / "log.txt", 12 * 1024);  // writes past 12 KiB fail
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace scourlet::testing {

// Runs `program` with `arguments`, its standard output and error both into
// the file `output`, and waits for it. With `fileSizeLimit`, the child may
// write no file beyond that many bytes: a write past it fails with EFBIG
// (SIGXFSZ is ignored), as a write does on a full disk. The exit status, or
// -1 when the program could not run or did not exit normally.
int runProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
               const std::filesystem::path& output,
               std::optional<std::uint64_t> fileSizeLimit = std::nullopt);

}  // namespace scourlet::testing
