#include "cli/CleanCommand.h"

#include <memory>
#include <span>

#include "ScourletCore/clipboard/StatsTracker.h"
#include "ScourletCore/config/AppConfiguration.h"
#include "ScourletCore/linkrewriting/PrivacyRedirectSettings.h"
#include "ScourletCore/platform/DefaultsSuites.h"
#include "ScourletCore/platform/FileUserDefaults.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/Text.h"
#include "ScourletCore/rules/CleanOutcome.h"
#include "ScourletCore/rules/DomainExceptionStore.h"
#include "ScourletCore/rules/RulesEngine.h"
#include "ScourletCore/rules/TextURLBlock.h"
#include "ScourletCore/rules/URLCleaner.h"
#include "ScourletCore/ruleupdates/RulesUpdater.h"
#include "ScourletCore/ruleupdates/VerifiedRuleBundleLoader.h"
#include "cli/CleanNotes.h"
#include "cli/CleanOptions.h"
#include "cli/LinkStream.h"
#include "cli/OutputStream.h"
#include "cli/RulesFileLoading.h"

namespace scourlet::cli {

namespace {

// Not one of the application's surfaces: the tool records no cleans.
constexpr std::string_view kSurface = "commandLine";
// How many bytes of notes about cleaned links are gathered before a write.
constexpr std::size_t kNotesBytes = 64 * 1024;

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
    auto parsed = CleanOptions::parse(args);
    if (!parsed) {
        err.write("scourlet: " + parsed.error().message + "\nTry 'scourlet --help'.\n");
        return kUsageError;
    }
    const CleanOptions& options = *parsed;
    if (options.help) {
        out.write(CleanOptions::usage());
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
        const std::span<const std::shared_ptr<const RulesEngine::CompiledProvider>> made(
            engine->compiledProviders());
        err.write(patternWarnings(path, *data, made.subspan(before)));
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
        const auto loaded = VerifiedRuleBundleLoader::load(*engine, environment_.installedRulesRoot,
                                                           environment_.bundle);
        if (loaded.refusedUpdate) {
            // Older rules than the user installed: said once, before any clean.
            err.write("scourlet: warning: the installed rule update " +
                      oneLine(loaded.refusedUpdate->string()) +
                      " failed verification; the shipped rules are used\n");
        }
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
        streamCleanedLinks(in, clean, write);
        return kSuccess;
    }

    int status = kSuccess;
    std::string lines;
    std::vector<ByteRange> links;
    for (const auto& argument : options.urls) {
        lines.clear();
        // Text around a link, or several lines, is no link: the cleaner
        // would take the rest of it along.
        const bool refused = holdsWhitespace(argument);
        // The link as the same text on standard input holds it: punctuation
        // or emphasis after it is the user's and stays. An argument in which
        // the finder takes no link (a wrapper holding a second link, say) is
        // given to the cleaner whole, as the one link the user named.
        const std::string_view trimmed = trimmingWhitespaceAndNewlines(argument);
        links.clear();
        const bool searched = !refused && TextURLBlock::findLinks(trimmed, links);
        const bool found = searched && links.size() == 1;
        // Two links glued together ("[![b](https://...)](https://...)") are
        // not one link either, though no white space parts them.
        const bool severalLinks = searched && links.size() > 1;
        const std::string_view url =
            found ? trimmed.substr(links[0].first, links[0].second - links[0].first)
                  : std::string_view(argument);
        const CleanOutcome outcome =
            refused || severalLinks ? CleanOutcome::invalid() : cleaner.cleanWithOutcome(url);
        if (outcome.kind() == CleanOutcome::Kind::invalid) {
            const std::string_view reason = severalLinks ? "not one link" : invalidReason(argument);
            err.write("scourlet: " + std::string(reason) + ": " + oneLine(argument) + "\n");
            status = kSomeInputInvalid;
            // The argument itself takes its line, so outputs keep lining up
            // with the arguments.
            lines = options.json ? dumpJson(outcomeJson(argument, outcome)) : oneLine(argument);
            lines.push_back('\n');
        } else if (options.json) {
            appendNote(lines, url, outcome);
        } else {
            std::string note;
            appendNote(note, url, outcome);
            err.write(note);
            const CleanResult* result = outcome.cleanedResult();
            const std::string_view cleaned =
                result ? std::string_view(result->cleanedURL) : trimmingWhitespaceAndNewlines(url);
            if (found) {
                lines.append(trimmed.substr(0, links[0].first))
                    .append(cleaned)
                    .append(trimmed.substr(links[0].second));
            } else {
                lines.append(cleaned);
            }
            lines.push_back('\n');
        }
        if (!out.write(lines)) {
            break;
        }
    }
    return status;
}

}  // namespace scourlet::cli
