#include "cli/LinkStream.h"

#include <algorithm>
#include <cstring>
#include <istream>

#include "ScourletCore/rules/internal/LinkScanning.h"

namespace scourlet::cli {

namespace {

// The most the link finder takes as one text.
constexpr std::size_t kBlockBytes = internal::kLinkTextSizeLimit;
// The most of a longer line taken as one piece.
constexpr std::size_t kPieceBytes = kBlockBytes;
// The longest link stopper in bytes (U+3000 and its kin).
constexpr std::size_t kLongestStopperBytes = 3;
// How much standard input is read at a time.
constexpr std::size_t kReadBytes = 256 * 1024;
// The UTF-8 byte-order mark, which some editors put before a file's text.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Appends `text` to `out` with each link the finder takes in it, after what
// `before` says stood earlier on its line, replaced by what `clean(url, out)`
// appends, called in text order; `links` is scratch space. False, with
// nothing appended, when the finder refuses the text (too long, or holding
// control characters).
bool appendCleaned(std::string_view text, const internal::LineSoFar& before,
                   std::vector<ByteRange>& links, const CleanLink& clean, std::string& out) {
    links.clear();
    if (!internal::findLinksContinuingLine(text, before, links)) {
        return false;
    }
    std::size_t copied = 0;
    for (const ByteRange& link : links) {
        out.append(text.substr(copied, link.first - copied));
        clean(text.substr(link.first, link.second - link.first), out);
        copied = link.second;
    }
    out.append(text.substr(copied));
    return true;
}

// The offset of the last link stopper in (from, last] of `text`; `from` when
// there is none. A stopper is only taken when all its bytes lie in `text`.
std::size_t lastStopperAfter(std::string_view text, std::size_t from, std::size_t last) {
    const std::string_view searched =
        text.substr(0, std::min(text.size(), last + kLongestStopperBytes));
    std::size_t found = from;
    for (std::size_t stopper = internal::linkStopperAtOrAfter(searched, from + 1);
         stopper <= last && stopper < searched.size();
         stopper = internal::linkStopperAtOrAfter(searched, stopper + 1)) {
        found = stopper;
    }
    return found;
}

}  // namespace

void streamCleanedLinks(std::istream& in, const CleanLink& clean, const WriteText& write) {
    std::string buffer;
    std::string written;
    std::vector<ByteRange> links;
    buffer.reserve(kBlockBytes + kReadBytes);
    written.reserve(kBlockBytes + kReadBytes);
    bool ended = false;
    auto readMore = [&]() {
        const std::size_t had = buffer.size();
        buffer.resize(had + kReadBytes);
        in.read(buffer.data() + had, static_cast<std::streamsize>(kReadBytes));
        const auto got = static_cast<std::size_t>(in.gcount());
        buffer.resize(had + got);
        ended = got < kReadBytes;
        return got > 0;
    };
    auto flush = [&]() {
        const bool ok = write(written);
        written.clear();
        return ok;
    };

    // A byte-order mark says how the text is encoded and is no part of it:
    // it goes out as it came, and the text starts after it, so a link right
    // behind it is found as at the start of any text.
    while (buffer.size() < kByteOrderMark.size() && !ended && readMore()) {
    }
    if (std::string_view(buffer).starts_with(kByteOrderMark)) {
        written.append(kByteOrderMark);
        buffer.erase(0, kByteOrderMark.size());
    }
    // A short text goes whole, as the finder would take it from the clipboard.
    while (buffer.size() <= kBlockBytes && !ended && readMore()) {
    }
    if (buffer.size() <= kBlockBytes &&
        appendCleaned(buffer, internal::LineSoFar{}, links, clean, written)) {
        flush();
        return;
    }

    // Inside a line longer than the finder takes.
    bool inLongLine = false;
    // What came earlier in that line.
    internal::LineSoFar lineSoFar;
    // Inside a run of that line with no stopper, longer than a piece.
    bool inRun = false;

    auto cleanLine = [&](std::string_view line) {
        if (!appendCleaned(line, internal::LineSoFar{}, links, clean, written)) {
            written.append(line);
        }
    };
    auto cleanPiece = [&](std::string_view piece) {
        if (!appendCleaned(piece, lineSoFar, links, clean, written)) {
            written.append(piece);
        }
        lineSoFar.prose =
            lineSoFar.prose || internal::firstNonWhitespaceOffset(piece) < piece.size();
        lineSoFar.emphasis.readUpTo(piece, piece.size());
        lineSoFar.emphasis.continueInNextText();
    };

    // Takes what it can of `unread` and returns how much it took; all of it
    // at the end of the input.
    auto take = [&](std::string_view unread, bool atEnd) {
        const std::size_t size = unread.size();
        std::size_t start = 0;
        while (start < size) {
            if (inRun) {
                const std::size_t stopper = internal::linkStopperAtOrAfter(unread, start);
                if (stopper == size && !atEnd) {
                    // The last bytes may begin a stopper whose rest is unread.
                    const std::size_t kept = std::min(size - start, kLongestStopperBytes);
                    written.append(unread.substr(start, size - kept - start));
                    start = size - kept;
                    break;
                }
                written.append(unread.substr(start, stopper - start));
                start = stopper;
                inRun = false;
                continue;
            }
            const std::size_t left = size - start;
            const std::size_t lookedAt = std::min(left, inLongLine ? kPieceBytes : kBlockBytes);
            const void* found = std::memchr(unread.data() + start, '\n', lookedAt);
            if (found != nullptr) {
                const auto end =
                    static_cast<std::size_t>(static_cast<const char*>(found) - unread.data()) + 1;
                if (inLongLine) {
                    cleanPiece(unread.substr(start, end - start));
                    inLongLine = false;
                    lineSoFar = {};
                } else {
                    cleanLine(unread.substr(start, end - start));
                }
                start = end;
                continue;
            }
            if (!inLongLine) {
                if (left > kBlockBytes) {
                    inLongLine = true;
                    continue;
                }
                if (!atEnd) {
                    break;
                }
                cleanLine(unread.substr(start));
                start = size;
                continue;
            }
            // A piece of a long line: up to the last stopper within reach, all
            // of its bytes read.
            if (left <= kPieceBytes + kLongestStopperBytes && !atEnd) {
                break;
            }
            if (left <= kPieceBytes) {
                cleanPiece(unread.substr(start));
                start = size;
                continue;
            }
            const std::size_t reach = start + kPieceBytes;
            const std::size_t cut = lastStopperAfter(unread, start, reach);
            if (cut > start) {
                cleanPiece(unread.substr(start, cut - start));
                start = cut;
                continue;
            }
            written.append(unread.substr(start, reach - start));
            start = reach;
            // Emphasis is not followed through such a run: a "_" after a
            // link further on is taken as the link's.
            lineSoFar.prose = true;
            lineSoFar.emphasis.clear();
            inRun = true;
        }
        return start;
    };

    while (true) {
        const bool atEnd = ended;
        buffer.erase(0, take(buffer, atEnd));
        if (!flush() || atEnd) {
            return;
        }
        if (!readMore()) {
            ended = true;
        }
    }
}

}  // namespace scourlet::cli
