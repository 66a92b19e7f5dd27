// OutputStream: a stream the scourlet tool writes to. It remembers its first
// failure (a full disk, a closed descriptor) and why, and takes no more
// writes after it, so the tool can report the failure once and end with its
// own status.
//
//   OutputStream out(std::cout);
//   if (!out.write(text) || !out.flush()) { report(out.reason()); }
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

namespace scourlet::cli {

class OutputStream {
public:
    explicit OutputStream(std::ostream& stream) : stream_(stream) {}

    // False once any write or flush has failed; an empty write changes nothing.
    bool write(std::string_view bytes);
    bool flush();
    // Writes what is left of `in`; false when a write failed.
    bool copy(std::istream& in);

    bool failed() const { return failed_; }
    // What the system said about the failure; empty when it said nothing.
    const std::string& reason() const { return reason_; }

private:
    bool checked();

    std::ostream& stream_;
    bool failed_ = false;
    std::string reason_;
};

}  // namespace scourlet::cli
