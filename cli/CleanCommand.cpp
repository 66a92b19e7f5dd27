#include "cli/CleanCommand.h"

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
#include "ScourletCore/rules/CleanOutcome.h"
#include "ScourletCore/rules/DomainExceptionStore.h"
#include "ScourletCore/rules/ProvidersFile.h"
#include "ScourletCore/rules/RulesEngine.h"
#include "ScourletCore/ruleupdates/RulesUpdater.h"
#include "ScourletCore/ruleupdates/VerifiedRuleBundleLoader.h"
#include "ScourletCore/rules/TextURLBlock.h"
#include "ScourletCore/rules/URLCleaner.h"

namespace scourlet::cli {

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

// Why the cleaner refused an input.
std::string_view invalidReason(std::string_view input) {
    return isValidUTF8(input) ? "not an http or https link" : "not UTF-8 text";
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
constexpr std::size_t kBlockBytes = 65'536;
// How much standard input is read at a time.
constexpr std::size_t kReadBytes = 256 * 1024;
// How many bytes of notes about cleaned links are gathered before a write.
constexpr std::size_t kNotesBytes = 64 * 1024;

// Appends `text` to `out` with each link the finder takes replaced by what
// `clean(url, out)` appends, called in text order; `links` is scratch space.
// False, with nothing appended, when the finder refuses the text (too long,
// or holding control characters).
template <class Clean>
bool appendCleaned(std::string_view text, std::vector<ByteRange>& links, Clean& clean,
                   std::string& out) {
    links.clear();
    if (!TextURLBlock::findLinks(text, links)) {
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

// Copies `in` to `out` with every link cleaned and the rest byte for byte,
// holding at most a few hundred kilobytes whatever the input's size. A text
// of at most 64 KiB the link finder takes is cleaned as one block; any other
// text is taken line by line (links never span lines, so no link is ever cut
// at a buffer's end), and a line the finder refuses is kept as it is.
// `beforeWrite` is called before each piece of text is written, and once at
// the end.
template <class Clean, class BeforeWrite>
void streamLinks(std::istream& in, std::ostream& out, bool writeText, Clean&& clean,
                 BeforeWrite&& beforeWrite) {
    std::string buffer;
    std::string written;
    std::vector<ByteRange> links;
    buffer.reserve(kBlockBytes + kReadBytes);
    written.reserve(kBlockBytes + kReadBytes);
    auto readMore = [&]() {
        const std::size_t had = buffer.size();
        buffer.resize(had + kReadBytes);
        in.read(buffer.data() + had, static_cast<std::streamsize>(kReadBytes));
        buffer.resize(had + static_cast<std::size_t>(in.gcount()));
        return buffer.size() > had;
    };
    auto flush = [&]() {
        beforeWrite();
        if (writeText && !written.empty()) {
            out.write(written.data(), static_cast<std::streamsize>(written.size()));
        }
        written.clear();
    };
    auto writeLine = [&](std::string_view line) {
        if (!appendCleaned(line, links, clean, written)) {
            written.append(line);
        }
    };

    // A short text goes whole, as the finder would take it from the clipboard.
    while (buffer.size() <= kBlockBytes && readMore()) {
    }
    if (buffer.size() <= kBlockBytes && appendCleaned(buffer, links, clean, written)) {
        flush();
        return;
    }

    bool skippingLongLine = false;  // inside a line too long for the finder
    while (true) {
        const std::string_view unread = buffer;
        std::size_t start = 0;
        if (skippingLongLine) {
            const std::size_t newline = unread.find('\n');
            const std::size_t end = newline == std::string_view::npos ? unread.size() : newline + 1;
            written.append(unread.substr(0, end));
            start = end;
            skippingLongLine = newline == std::string_view::npos;
        }
        if (!skippingLongLine) {
            while (true) {
                const void* found =
                    std::memchr(unread.data() + start, '\n', unread.size() - start);
                if (found == nullptr) {
                    break;
                }
                const auto newline =
                    static_cast<std::size_t>(static_cast<const char*>(found) - unread.data());
                writeLine(unread.substr(start, newline + 1 - start));
                start = newline + 1;
            }
            // No whole line left: keep the rest, and pass on a line that has
            // grown past what the finder takes (it would be kept as it is).
            if (unread.size() - start > kBlockBytes) {
                written.append(unread.substr(start));
                start = unread.size();
                skippingLongLine = true;
            }
        }
        buffer.erase(0, start);
        flush();
        if (!readMore()) {
            break;
        }
    }
    if (!buffer.empty()) {
        if (skippingLongLine) {
            written.append(buffer);
        } else {
            writeLine(buffer);
        }
    }
    flush();
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

With URLs, prints each cleaned link on its own line (the link itself when
nothing changed, the argument as given when it is not a link). Without URLs, reads text on standard input and writes it
back with every link cleaned and everything else unchanged:

    xclip -o -selection clipboard | scourlet | xclip -i -selection clipboard

Options:
  -q, --quiet               do not print what was removed (on standard error)
      --json                print one JSON object per link with the full result
      --rules FILE          use this ClearURLs-format providers file instead of
                            the shipped rules
      --supplementary FILE  add the providers of this file
  -h, --help                show this help
  -V, --version             show the version

Exit status: 0 on success, 1 when an argument is not an http or https link,
2 on a usage error or an unreadable rules file.
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
    auto parsed = parseOptions(args);
    if (!parsed) {
        err << "scourlet: " << parsed.error().message << "\nTry 'scourlet --help'.\n";
        return kUsageError;
    }
    const Options& options = *parsed;
    if (options.help) {
        out << usage();
        return kSuccess;
    }
    if (options.version) {
        out << "scourlet " << config::kAppVersion << "\n";
        return kSuccess;
    }
    const bool fromInput = options.urls.empty();
    // Whatever happens, text read from standard input goes back out whole.
    auto failWith = [&](const std::string& message) {
        err << "scourlet: " << message << "\n";
        if (fromInput && !options.json) {
            out << in.rdbuf();
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
    if (options.rulesFile) {
        auto data = readRulesFile(*options.rulesFile);
        if (!data) {
            return failWith(data.error().message);
        }
        engine->loadRules(*data);
    } else {
        if (environment_.bundle == nullptr ||
            !environment_.bundle->urlForResource("data.min", "json")) {
            return failWith(
                "the shipped rules were not found; Scourlet_ScourletCore.bundle must lie beside "
                "the program (or use --rules FILE)");
        }
        // The same verified installed rules as the application, else the
        // shipped ones, so the two never clean differently.
        VerifiedRuleBundleLoader::load(*engine, environment_.installedRulesRoot,
                                       environment_.bundle);
    }
    if (options.supplementaryFile) {
        auto data = readRulesFile(*options.supplementaryFile);
        if (!data) {
            return failWith(data.error().message);
        }
        engine->loadSupplementaryRules(*data);
    }

    URLCleaner cleaner(engine, std::make_shared<DomainExceptionStore>(defaults), nullptr,
                       std::string(kSurface), PrivacyRedirectSettings::disabled());
    // What is said about a clean: its JSON object, or unless quiet a summary.
    std::ostream& notesStream = options.json ? out : err;
    auto appendNote = [&](std::string& notes, std::string_view input,
                          const CleanOutcome& outcome) {
        if (options.json) {
            notes.append(dumpJson(outcomeJson(input, outcome))).push_back('\n');
        } else if (!options.quiet) {
            notes.append("scourlet: ").append(summary(input, outcome)).push_back('\n');
        }
    };
    auto report = [&](std::string_view input, const CleanOutcome& outcome) {
        std::string note;
        appendNote(note, input, outcome);
        notesStream << note;
    };

    if (fromInput) {
        // The notes are gathered and written before the text they belong to:
        // a few writes per buffer instead of several per link.
        std::string notes;
        auto writeNotes = [&]() {
            if (!notes.empty()) {
                notesStream.write(notes.data(), static_cast<std::streamsize>(notes.size()));
                notes.clear();
            }
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
        streamLinks(in, out, !options.json, clean, writeNotes);
        return kSuccess;
    }

    int status = kSuccess;
    for (const auto& url : options.urls) {
        const CleanOutcome outcome = cleaner.cleanWithOutcome(url);
        if (outcome.kind() == CleanOutcome::Kind::invalid) {
            err << "scourlet: " << invalidReason(url) << ": " << url << "\n";
            status = kSomeInputInvalid;
            // The argument itself takes its line, so outputs keep lining up
            // with the arguments.
            out << (options.json ? dumpJson(outcomeJson(url, outcome)) : url) << "\n";
            continue;
        }
        report(url, outcome);
        if (!options.json) {
            const CleanResult* result = outcome.cleanedResult();
            out << (result ? result->cleanedURL : std::string(trimmingWhitespaceAndNewlines(url)))
                << "\n";
        }
    }
    return status;
}

}  // namespace scourlet::cli
