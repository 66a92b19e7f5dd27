#include "cli/CleanCommand.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>

#include "ScourletCore/clipboard/StatsTracker.h"
#include "ScourletCore/config/AppConfiguration.h"
#include "ScourletCore/linkrewriting/PrivacyRedirectSettings.h"
#include "ScourletCore/platform/BoundedFileRead.h"
#include "ScourletCore/platform/DefaultsSuites.h"
#include "ScourletCore/platform/FileUserDefaults.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/Text.h"
#include "ScourletCore/platform/internal/Utf8Codec.h"
#include "ScourletCore/rules/CleanOutcome.h"
#include "ScourletCore/rules/DomainExceptionStore.h"
#include "ScourletCore/rules/ProvidersFile.h"
#include "ScourletCore/rules/RulesEngine.h"
#include "ScourletCore/rules/TextURLBlock.h"
#include "ScourletCore/rules/URLCleaner.h"
#include "ScourletCore/rules/internal/LinkScanning.h"
#include "ScourletCore/ruleupdates/RulesUpdater.h"
#include "ScourletCore/ruleupdates/VerifiedRuleBundleLoader.h"

namespace scourlet::cli {

// A stream the tool writes to. It remembers its first failure (a full disk, a
// closed descriptor) and why, and takes no more writes after it.
class OutputStream {
public:
    explicit OutputStream(std::ostream& stream) : stream_(stream) {}

    bool write(std::string_view bytes) {
        if (failed_ || bytes.empty()) {
            return !failed_;
        }
        errno = 0;
        stream_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return checked();
    }

    bool flush() {
        if (failed_) {
            return false;
        }
        errno = 0;
        stream_.flush();
        return checked();
    }

    // Writes what is left of `in`.
    bool copy(std::istream& in) {
        std::string chunk(64 * 1024, '\0');
        while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) ||
               in.gcount() > 0) {
            if (!write(std::string_view(chunk.data(), static_cast<std::size_t>(in.gcount())))) {
                return false;
            }
        }
        return true;
    }

    bool failed() const { return failed_; }
    // What the system said about the failure; empty when it said nothing.
    const std::string& reason() const { return reason_; }

private:
    bool checked() {
        if (stream_) {
            return true;
        }
        failed_ = true;
        if (errno != 0) {
            reason_ = std::strerror(errno);
        }
        return false;
    }

    std::ostream& stream_;
    bool failed_ = false;
    std::string reason_;
};

namespace {

// Not one of the application's surfaces: the tool records no cleans.
constexpr std::string_view kSurface = "commandLine";
// Rules files are a few hundred kilobytes; anything far larger is a mistake.
constexpr std::uintmax_t kMaxRulesFileBytes = 16 * 1024 * 1024;

Result<std::string, Error> readRulesFile(const std::filesystem::path& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        return Error{"cannot read rules file " + path.string() + ": " + ec.message()};
    }
    if (size > kMaxRulesFileBytes) {
        return Error{"rules file " + path.string() + " is larger than 16 MiB"};
    }
    auto data = readFileAtMost(path, kMaxRulesFileBytes);
    if (!data) {
        return Error{"cannot read rules file " + path.string()};
    }
    if (auto decoded = ProvidersFile::decode(*data); !decoded) {
        return Error{path.string() + " is not a providers file: " + decoded.error().message};
    }
    return std::move(*data);
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) {
        if (!text.empty()) {
            text.append(", ");
        }
        text.append(name.empty() ? "(unnamed)" : name);
    }
    return text;
}

// True when `input`, less the white space around it, still holds white space
// or a line break: several words or lines, never one link.
bool holdsWhitespace(std::string_view input) {
    const std::string_view trimmed = trimmingWhitespaceAndNewlines(input);
    for (std::size_t i = 0; i < trimmed.size();) {
        const internal::DecodedScalar decoded = internal::decodeUtf8At(trimmed, i);
        if (decoded.scalar != internal::kInvalidScalar && isWhitespaceOrNewline(decoded.scalar)) {
            return true;
        }
        i += decoded.size;
    }
    return false;
}

// Why the cleaner refused an input.
std::string_view invalidReason(std::string_view input) {
    if (!isValidUTF8(input)) {
        return "not UTF-8 text";
    }
    return holdsWhitespace(input) ? "not one link" : "not an http or https link";
}

// `input` on one line: line feeds and carriage returns written as \n and \r.
std::string oneLine(std::string_view input) {
    std::string line;
    line.reserve(input.size());
    for (const char c : input) {
        if (c == '\n') {
            line.append("\\n");
        } else if (c == '\r') {
            line.append("\\r");
        } else {
            line.push_back(c);
        }
    }
    return line;
}

// One warning line for each provider of `data` (the providers file read from
// `path`) that the engine left out because its URL pattern does not compile,
// or compiled without some of its patterns; `compiled` from index `from` on
// are the providers the engine made of that file.
std::string patternWarnings(
    const std::filesystem::path& path, std::string_view data,
    const std::vector<std::shared_ptr<const RulesEngine::CompiledProvider>>& compiled,
    std::size_t from) {
    const auto file = ProvidersFile::decode(data);
    if (!file) {
        return {};
    }
    std::string warnings;
    for (const auto& [name, provider] : file->providers()) {
        const std::string& providerName = name;  // a lambda may not capture a binding
        const auto found =
            std::find_if(compiled.begin() + static_cast<std::ptrdiff_t>(from), compiled.end(),
                         [&](const auto& each) { return each->name == providerName; });
        const std::string start =
            "scourlet: warning: " + path.string() + ": provider \"" + name + "\" ";
        if (found == compiled.end()) {
            warnings.append(start).append("is left out: its urlPattern does not compile\n");
            continue;
        }
        const RulesEngine::CompiledProvider& kept = **found;
        const std::size_t given = provider.exceptions().size() + provider.rules().size() +
                                  provider.rawRules().size() + provider.redirections().size() +
                                  provider.referralMarketing().size();
        const std::size_t left = kept.exceptionRegexes.size() + kept.paramRegexes.size() +
                                 kept.rawRuleRegexes.size() + kept.redirectionRegexes.size() +
                                 kept.referralParamRegexes.size();
        if (left < given) {
            const std::size_t lost = given - left;
            warnings.append(start)
                .append(lost == 1
                            ? "lost 1 pattern that does not compile"
                            : "lost " + std::to_string(lost) + " patterns that do not compile")
                .push_back('\n');
        }
    }
    return warnings;
}

// One line saying what a clean of `input` did, for people reading the terminal.
std::string summary(std::string_view input, const CleanOutcome& outcome) {
    switch (outcome.kind()) {
        case CleanOutcome::Kind::unchanged:
            return "nothing to remove";
        case CleanOutcome::Kind::skippedDisabled:
            return "cleaning is off for " + *outcome.skippedHost();
        case CleanOutcome::Kind::invalid:
            return std::string(invalidReason(input));
        case CleanOutcome::Kind::cleaned:
            break;
    }
    const CleanResult& result = *outcome.cleanedResult();
    int unwrapped = 0;
    bool pathCleaned = false;
    bool localState = false;
    std::optional<std::string> frontend;
    for (const auto& operation : result.operations) {
        switch (operation.kind) {
            case CleanOperationKind::offlineWrapperUnwrap:
                ++unwrapped;
                break;
            case CleanOperationKind::offlinePathRewrite:
                pathCleaned = true;
                break;
            case CleanOperationKind::privacyRedirect:
                frontend = result.privacyRedirect ? result.privacyRedirect->frontendHost
                                                  : operation.outputURL;
                break;
            case CleanOperationKind::localParameterRemoval:
                localState =
                    localState || (operation.removedParameters.size() == 1 &&
                                   operation.removedParameters[0] == "#google-local-state");
                break;
            default:
                break;
        }
    }
    std::vector<std::string> parts;
    if (unwrapped > 0) {
        parts.push_back(unwrapped == 1 ? "unwrapped a redirect"
                                       : "unwrapped " + std::to_string(unwrapped) + " redirects");
    }
    if (pathCleaned) {
        parts.push_back("cleaned the path");
    }
    if (!result.removedQueryParameters.empty()) {
        parts.push_back("removed " + joined(result.removedQueryParameters));
    }
    if (localState) {
        parts.push_back("removed the local-result state");
    }
    if (frontend) {
        parts.push_back("rewrote to " + *frontend);
    }
    std::string text;
    for (const auto& part : parts) {
        text.append(text.empty() ? "" : "; ").append(part);
    }
    return text.empty() ? "cleaned" : text;
}

Json outcomeJson(std::string_view input, const CleanOutcome& outcome) {
    Json json = Json::object();
    json["input"] = std::string(input);
    const std::string trimmed(trimmingWhitespaceAndNewlines(input));
    switch (outcome.kind()) {
        case CleanOutcome::Kind::cleaned:
            json["outcome"] = "cleaned";
            json["cleanedURL"] = outcome.cleanedResult()->cleanedURL;
            json["result"] = outcome.cleanedResult()->toJson();
            break;
        case CleanOutcome::Kind::skippedDisabled:
            json["outcome"] = "skippedDisabled";
            json["host"] = *outcome.skippedHost();
            json["cleanedURL"] = trimmed;
            break;
        case CleanOutcome::Kind::unchanged:
            json["outcome"] = "unchanged";
            json["cleanedURL"] = trimmed;
            break;
        case CleanOutcome::Kind::invalid:
            json["outcome"] = "invalid";
            break;
    }
    return json;
}

// The most the link finder takes as one text.
constexpr std::size_t kBlockBytes = internal::kLinkTextSizeLimit;
// The most of a longer line taken as one piece: one byte less, for the byte
// that stands in for the prose before the piece.
constexpr std::size_t kPieceBytes = kBlockBytes - 1;
// The longest link stopper in bytes (U+3000 and its kin).
constexpr std::size_t kLongestStopperBytes = 3;
// How much standard input is read at a time.
constexpr std::size_t kReadBytes = 256 * 1024;
// How many bytes of notes about cleaned links are gathered before a write.
constexpr std::size_t kNotesBytes = 64 * 1024;

// Appends `text`, less its first `context` bytes, to `out` with each link the
// finder takes in `text` replaced by what `clean(url, out)` appends, called in
// text order; `links` is scratch space. The context bytes only stand before
// the links, as the text before a piece of a line does, and hold none. False,
// with nothing appended, when the finder refuses the text (too long, or
// holding control characters).
template <class Clean>
bool appendCleaned(std::string_view text, std::size_t context, std::vector<ByteRange>& links,
                   Clean& clean, std::string& out) {
    links.clear();
    if (!TextURLBlock::findLinks(text, links)) {
        return false;
    }
    std::size_t copied = context;
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

// Copies `in` to the output with every link cleaned and the rest byte for
// byte, holding at most a few hundred kilobytes whatever the input's size.
//
// A text of at most 64 KiB the link finder takes is cleaned as one block, as
// the clipboard would clean it; any other text line by line, each line as if
// it were the whole text. A line longer than the finder takes is cleaned in
// pieces cut just before a link stopper (white space, "<", ">", quotes). No
// link spans a stopper, and the finder looks no further back than the
// character before a link and whether anything but white space came earlier
// in its text, so cleaning the pieces gives what cleaning the whole line at
// once would; a piece after prose is searched behind one byte of stand-in
// prose. A run without any stopper longer than a piece passes as it is, up to
// the next stopper: any link in it would run to its end, and cutting one
// would change what it says. A line or piece the finder refuses (control
// characters) is kept as it is.
//
// `write(text)` is called with each stretch of text in order; it returns
// false when the output failed, which ends the copy.
template <class Clean, class Write>
void streamLinks(std::istream& in, Clean&& clean, Write&& write) {
    std::string buffer;
    std::string written;
    std::string scratch;
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

    // A short text goes whole, as the finder would take it from the clipboard.
    while (buffer.size() <= kBlockBytes && !ended && readMore()) {
    }
    if (buffer.size() <= kBlockBytes && appendCleaned(buffer, 0, links, clean, written)) {
        flush();
        return;
    }

    // Inside a line longer than the finder takes.
    bool inLongLine = false;
    // Something other than white space came earlier in that line.
    bool proseBefore = false;
    // Inside a run of that line with no stopper, longer than a piece.
    bool inRun = false;

    auto cleanLine = [&](std::string_view line) {
        if (!appendCleaned(line, 0, links, clean, written)) {
            written.append(line);
        }
    };
    auto cleanPiece = [&](std::string_view piece) {
        bool cleaned = false;
        if (proseBefore) {
            scratch.assign(1, '#').append(piece);
            cleaned = appendCleaned(scratch, 1, links, clean, written);
        } else {
            cleaned = appendCleaned(piece, 0, links, clean, written);
        }
        if (!cleaned) {
            written.append(piece);
        }
        proseBefore = proseBefore || internal::firstNonWhitespaceOffset(piece) < piece.size();
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
                    proseBefore = false;
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
            proseBefore = true;
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

}  // namespace

CleanCommand::Environment CleanCommand::Environment::standard() {
    Environment environment;
    if (auto file = FileUserDefaults::suiteFile(kApplicationSuiteName)) {
        environment.savedSettings = FileUserDefaults::readOnlySnapshot(*file);
    }
    environment.bundle = ResourceBundle::cleanLinkResources();
    environment.installedRulesRoot = RulesUpdater::rulesRootURL();
    return environment;
}

std::string CleanCommand::usage() {
    return R"(Usage: scourlet [options] [URL...]

Removes tracking parameters from links with the same local rules as the
Scourlet application (its rule switches, custom rules and site exceptions).

With URLs, prints each cleaned link on its own line: the link itself when
nothing changed, the argument as given when it is not one link (with its line
breaks written as \n and \r, so that it still takes one line). Without URLs,
reads text on standard input and writes it back with every link cleaned and
everything else unchanged:

    xclip -o -selection clipboard | scourlet | xclip -i -selection clipboard

Options:
  -q, --quiet               do not print what was removed (on standard error)
      --json                print one JSON object per link with the full result
      --rules FILE          use the providers of this ClearURLs-format file in
                            place of the shipped (or installed) rules and their
                            supplementary rules; the built-in common names
                            (utm_*, fbclid, gclid and more) and your custom
                            rules still apply
      --supplementary FILE  add the providers of this file
  -h, --help                show this help
  -V, --version             show the version

Exit status: 0 on success, 1 when an argument is not one http or https link,
2 on a usage error or an unreadable rules file, 3 when the output could not
be written.
)";
}

Result<CleanCommand::Options, Error> CleanCommand::parseOptions(
    const std::vector<std::string>& args) {
    Options options;
    bool onlyURLs = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyURLs || arg.empty() || arg[0] != '-' || arg == "-") {
            options.urls.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyURLs = true;
        } else if (arg == "-q" || arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "-V" || arg == "--version") {
            options.version = true;
        } else if (arg.starts_with("--rules") || arg.starts_with("--supplementary")) {
            const bool rules = arg.starts_with("--rules");
            const std::string name = rules ? "--rules" : "--supplementary";
            std::string value;
            if (arg == name) {
                if (i + 1 >= args.size()) {
                    return Error{name + " needs a file"};
                }
                value = args[++i];
            } else if (arg.size() > name.size() && arg[name.size()] == '=') {
                value = arg.substr(name.size() + 1);
            } else {
                return Error{"unknown option " + arg};
            }
            if (value.empty()) {
                return Error{name + " needs a file"};
            }
            (rules ? options.rulesFile : options.supplementaryFile) = value;
        } else {
            return Error{"unknown option " + arg};
        }
    }
    return options;
}

int CleanCommand::execute(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                          std::ostream& err) const {
    OutputStream output(out);
    OutputStream diagnostics(err);
    int status = run(args, in, output, diagnostics);
    output.flush();
    diagnostics.flush();
    if (output.failed()) {
        std::string message = "scourlet: could not write to standard output";
        if (!output.reason().empty()) {
            message.append(": ").append(output.reason());
        }
        diagnostics.write(message + "\n");
        diagnostics.flush();
        status = kWriteFailed;
    } else if (diagnostics.failed()) {
        // Nowhere left to say it; the status still tells.
        status = kWriteFailed;
    }
    return status;
}

int CleanCommand::run(const std::vector<std::string>& args, std::istream& in, OutputStream& out,
                      OutputStream& err) const {
    auto parsed = parseOptions(args);
    if (!parsed) {
        err.write("scourlet: " + parsed.error().message + "\nTry 'scourlet --help'.\n");
        return kUsageError;
    }
    const Options& options = *parsed;
    if (options.help) {
        out.write(usage());
        return kSuccess;
    }
    if (options.version) {
        out.write("scourlet " + std::string(config::kAppVersion) + "\n");
        return kSuccess;
    }
    const bool fromInput = options.urls.empty();
    // Whatever happens, text read from standard input goes back out whole.
    auto failWith = [&](const std::string& message) {
        err.write("scourlet: " + message + "\n");
        if (fromInput && !options.json) {
            out.copy(in);
        }
        return kUsageError;
    };

    auto defaults = std::make_shared<InMemoryUserDefaults>();
    for (const auto& [key, value] : environment_.savedSettings) {
        defaults->set(key, value);
    }
    // The tool keeps no statistics: match counts would only be thrown away.
    defaults->setBool(StatsTracker::kCollectionEnabledKey, false);
    auto engine = std::make_shared<RulesEngine>(defaults, environment_.bundle);
    // Loads a rules file given on the command line and says which of its
    // providers lost a pattern that does not compile.
    auto loadFile = [&](const std::filesystem::path& path, bool supplementary) {
        auto data = readRulesFile(path);
        if (!data) {
            return std::optional<std::string>(data.error().message);
        }
        const std::size_t before = supplementary ? engine->compiledProviders().size() : 0;
        if (supplementary) {
            engine->loadSupplementaryRules(*data);
        } else {
            engine->loadRules(*data);
        }
        err.write(patternWarnings(path, *data, engine->compiledProviders(), before));
        return std::optional<std::string>();
    };
    if (options.rulesFile) {
        if (auto error = loadFile(*options.rulesFile, false)) {
            return failWith(*error);
        }
    } else {
        if (environment_.bundle == nullptr ||
            !environment_.bundle->urlForResource("data.min", "json")) {
            return failWith(
                "the shipped rules were not found; Scourlet_ScourletCore.bundle must lie beside "
                "the program or under ../share/scourlet from its folder (or use --rules FILE)");
        }
        // The same verified installed rules as the application, else the
        // shipped ones, so the two never clean differently.
        VerifiedRuleBundleLoader::load(*engine, environment_.installedRulesRoot,
                                       environment_.bundle);
    }
    if (options.supplementaryFile) {
        if (auto error = loadFile(*options.supplementaryFile, true)) {
            return failWith(*error);
        }
    }

    URLCleaner cleaner(engine, std::make_shared<DomainExceptionStore>(defaults), nullptr,
                       std::string(kSurface), PrivacyRedirectSettings::disabled());
    // What is said about a clean: its JSON object, or unless quiet a summary.
    OutputStream& notesStream = options.json ? out : err;
    auto appendNote = [&](std::string& notes, std::string_view input, const CleanOutcome& outcome) {
        if (options.json) {
            notes.append(dumpJson(outcomeJson(input, outcome))).push_back('\n');
        } else if (!options.quiet) {
            notes.append("scourlet: ").append(summary(input, outcome)).push_back('\n');
        }
    };

    if (fromInput) {
        // The notes are gathered and written before the text they belong to:
        // a few writes per buffer instead of several per link.
        std::string notes;
        auto writeNotes = [&]() {
            const bool written = notesStream.write(notes);
            notes.clear();
            return written;
        };
        auto clean = [&](std::string_view url, std::string& text) {
            const CleanOutcome outcome = cleaner.cleanWithOutcome(url);
            appendNote(notes, url, outcome);
            if (notes.size() > kNotesBytes) {
                writeNotes();
            }
            const CleanResult* result = outcome.cleanedResult();
            text.append(result ? std::string_view(result->cleanedURL) : url);
        };
        auto write = [&](std::string_view text) {
            // Notes that cannot be written end nothing: the text still goes
            // out whole. In JSON the notes are the output.
            const bool notesWritten = writeNotes();
            return options.json ? notesWritten : out.write(text);
        };
        streamLinks(in, clean, write);
        return kSuccess;
    }

    int status = kSuccess;
    std::string lines;
    for (const auto& url : options.urls) {
        lines.clear();
        // Text around a link, or several lines, is no link: the cleaner
        // would take the rest of it along.
        const CleanOutcome outcome =
            holdsWhitespace(url) ? CleanOutcome::invalid() : cleaner.cleanWithOutcome(url);
        if (outcome.kind() == CleanOutcome::Kind::invalid) {
            err.write("scourlet: " + std::string(invalidReason(url)) + ": " + oneLine(url) + "\n");
            status = kSomeInputInvalid;
            // The argument itself takes its line, so outputs keep lining up
            // with the arguments.
            lines = options.json ? dumpJson(outcomeJson(url, outcome)) : oneLine(url);
            lines.push_back('\n');
        } else if (options.json) {
            appendNote(lines, url, outcome);
        } else {
            std::string note;
            appendNote(note, url, outcome);
            err.write(note);
            const CleanResult* result = outcome.cleanedResult();
            lines = result ? result->cleanedURL : std::string(trimmingWhitespaceAndNewlines(url));
            lines.push_back('\n');
        }
        if (!out.write(lines)) {
            break;
        }
    }
    return status;
}

}  // namespace scourlet::cli
