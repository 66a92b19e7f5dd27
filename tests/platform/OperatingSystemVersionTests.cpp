#include "ScourletCore/platform/OperatingSystemVersion.h"

#include <gtest/gtest.h>

#include "ScourletCore/platform/Text.h"

namespace scourlet {
namespace {

TEST(OperatingSystemVersion, NameFromOSRelease) {
    struct Case {
        std::string text;
        std::optional<std::string> name;
    };
    const std::vector<Case> cases = {
        {"NAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\nPRETTY_NAME=\"Debian GNU/Linux 12 "
         "(bookworm)\"\n",
         "Debian GNU/Linux 12 (bookworm)"},
        {"# comment\n  PRETTY_NAME='Fedora Linux 39 (Workstation Edition)'  \n",
         "Fedora Linux 39 (Workstation Edition)"},
        {"PRETTY_NAME=Arch\\ Linux\n", "Arch Linux"},
        {"PRETTY_NAME=\"Say \\\"hi\\\" \\$HOME\"", "Say \"hi\" $HOME"},
        {"NAME=Alpine\nVERSION=\"3.19\"\nPRETTY_NAME=\"  \"\n", "Alpine 3.19"},
        {"NAME=Gentoo\n", "Gentoo"},
        {"PRETTY_NAME=\"Tab\tand\x1b[31mred\"\r\n", "Tab and [31mred"},
        {"pretty_name=lower\nNAME\n=x\n", std::nullopt},
        {"PRETTY_NAME=\"\xFF\xFE\"\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OperatingSystemVersion::prettyName(c.text), c.name) << c.text;
    }
}

TEST(OperatingSystemVersion, LineJoinsDistributionAndKernel) {
    EXPECT_EQ(OperatingSystemVersion::describe("PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"",
                                               "Linux", "6.1.0-13-amd64"),
              "Debian GNU/Linux 12 (bookworm); kernel 6.1.0-13-amd64");
    EXPECT_EQ(OperatingSystemVersion::describe(std::nullopt, "Darwin", "23.1.0"), "Darwin 23.1.0");
    EXPECT_EQ(OperatingSystemVersion::describe("NAME=x", "", ""), "x");
    EXPECT_EQ(OperatingSystemVersion::describe(std::nullopt, "", ""), "unknown");

    // Long names are cut on a character boundary.
    const std::string longName = "PRETTY_NAME=\"" + std::string(199, 'a') + "\xC3\xA9 more\"";
    const std::string line = OperatingSystemVersion::describe(longName, "Linux", "6.1");
    EXPECT_LE(line.size(), OperatingSystemVersion::kMaxLength);
    EXPECT_TRUE(isValidUTF8(line));
    EXPECT_EQ(line, std::string(199, 'a'));
}

TEST(OperatingSystemVersion, CurrentMachineHasALine) {
    const std::string& line = OperatingSystemVersion::current();
    EXPECT_FALSE(line.empty());
    EXPECT_LE(line.size(), OperatingSystemVersion::kMaxLength);
    EXPECT_EQ(&line, &OperatingSystemVersion::current());
}

}  // namespace
}  // namespace scourlet
