// The clean command of the scourlet tool.
//
// With links as arguments it prints each argument on its own line with its
// link cleaned, exactly as the same text on standard input would come back;
// with none it reads text on standard input and writes it back with every
// link cleaned and everything else byte for byte. Settings (rule switches, custom
// rules, domain exceptions) come from a snapshot of the application's saved
// settings; nothing is ever written back. The rules are the ones the
// application cleans with: its verified installed rule update, else the
// shipped rules; an installed update that fails verification is named once
// on the error stream.
//
//   CleanCommand command(CleanCommand::Environment::standard());
//   int rc = command.execute({"--quiet", "https://a.example/?utm_source=x"}, std::cin,
//                            std::cout, std::cerr);
#pragma once

#include <filesystem>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ScourletCore/platform/ResourceBundle.h"
#include "ScourletCore/platform/UserDefaults.h"

namespace scourlet::cli {

class OutputStream;

class CleanCommand {
public:
    // Exit statuses.
    static constexpr int kSuccess = 0;
    static constexpr int kSomeInputInvalid = 1;
    static constexpr int kUsageError = 2;
    static constexpr int kWriteFailed = 3;

    struct Environment {
        // The application's saved settings, copied: the tool never writes them.
        std::map<std::string, DefaultsValue> savedSettings;
        // Where the shipped rules and the keys that installed rules are
        // verified with come from; null when no bundle was found.
        const ResourceBundle* bundle = nullptr;
        // The application's installed rule updates; nothing: none.
        std::optional<std::filesystem::path> installedRulesRoot;

        // The application's settings suite, its installed rule updates and
        // the bundle beside the program or in its installed data folder.
        static Environment standard();
    };

    explicit CleanCommand(Environment environment) : environment_(std::move(environment)) {}

    // Runs the command; returns the exit status. Never throws. When `out`
    // fails (or `err`), says so on `err` and returns kWriteFailed.
    int execute(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                std::ostream& err) const;

private:
    int run(const std::vector<std::string>& args, std::istream& in, OutputStream& out,
            OutputStream& err) const;

    Environment environment_;
};

}  // namespace scourlet::cli
