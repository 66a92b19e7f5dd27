#include "cli/OutputStream.h"

#include <cerrno>
#include <cstring>
#include <istream>
#include <ostream>

namespace scourlet::cli {

bool OutputStream::write(std::string_view bytes) {
    if (failed_ || bytes.empty()) {
        return !failed_;
    }
    errno = 0;
    stream_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return checked();
}

bool OutputStream::flush() {
    if (failed_) {
        return false;
    }
    errno = 0;
    stream_.flush();
    return checked();
}

bool OutputStream::copy(std::istream& in) {
    std::string chunk(64 * 1024, '\0');
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
        if (!write(std::string_view(chunk.data(), static_cast<std::size_t>(in.gcount())))) {
            return false;
        }
    }
    return true;
}

bool OutputStream::checked() {
    if (stream_) {
        return true;
    }
    failed_ = true;
    // The stream keeps no reason of its own; errno still holds the system's.
    if (errno != 0) {
        reason_ = std::strerror(errno);
    }
    return false;
}

}  // namespace scourlet::cli
