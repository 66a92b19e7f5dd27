#include "cli/CleanCommand.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>

#include <gtest/gtest.h>

#include "ScourletCore/config/BuildSettings.h"
#include "ScourletCore/platform/Json.h"
#include "ScourletCore/rules/DomainExceptionStore.h"
#include "ScourletCore/rules/RulesEngine.h"
#include "ScourletCore/ruleupdates/SignedRuleStore.h"
#include "support/FixtureSigner.h"
#include "support/PunctuationAfterLinks.h"
#include "support/RuleFeedFixture.h"
#include "support/TempDir.h"

namespace scourlet::cli {
namespace {

struct CommandRun {
    int status;
    std::string out;
    std::string err;
};

// A device that takes `room` bytes, then fails every write as a full disk does.
class FillingDevice : public std::streambuf {
public:
    explicit FillingDevice(std::size_t room) : room_(room) {}
    const std::string& taken() const { return taken_; }

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        const char byte = traits_type::to_char_type(c);
        return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
    }
    std::streamsize xsputn(const char* bytes, std::streamsize count) override {
        const auto taken = std::min(static_cast<std::size_t>(count), room_ - taken_.size());
        taken_.append(bytes, taken);
        if (taken < static_cast<std::size_t>(count)) {
            errno = ENOSPC;
        }
        return static_cast<std::streamsize>(taken);
    }

private:
    std::size_t room_;
    std::string taken_;
};

class CleanCommandTest : public ::testing::Test {
protected:
    CommandRun run(const std::vector<std::string>& args, const std::string& input = {}) const {
        std::ostringstream out;
        std::ostringstream err;
        const int status = runInto(args, input, out, err);
        return {status, out.str(), err.str()};
    }

    int runInto(const std::vector<std::string>& args, const std::string& input, std::ostream& out,
                std::ostream& err) const {
        CleanCommand::Environment environment;
        environment.savedSettings = saved;
        environment.bundle = bundle;
        environment.installedRulesRoot = installedRulesRoot;
        std::istringstream in(input);
        return CleanCommand(environment).execute(args, in, out, err);
    }

    std::map<std::string, DefaultsValue> saved;
    ResourceBundle shipped{SCOURLET_BUNDLE_DIR};
    const ResourceBundle* bundle = &shipped;
    std::optional<std::filesystem::path> installedRulesRoot;
};

TEST_F(CleanCommandTest, CleansEachArgumentOnItsOwnLine) {
    const CommandRun r =
        run({"https://example.com/a?utm_source=x&fbclid=123&id=4", " https://example.com/ "});
    EXPECT_EQ(r.status, CleanCommand::kSuccess);
    EXPECT_EQ(r.out, "https://example.com/a?id=4\nhttps://example.com/\n");
    EXPECT_EQ(r.err, "scourlet: removed utm_source, fbclid\nscourlet: nothing to remove\n");

    EXPECT_EQ(run({"--quiet", "https://example.com/?utm_medium=m"}).err, "");
}

TEST_F(CleanCommandTest, InvalidArgumentsAreReportedAndTheRestStillCleaned) {
    // One output line per argument, so outputs still line up with inputs: an
    // argument that is no link comes back unchanged.
    const CommandRun r =
        run({"-q", "https://example.com/?gclid=1", "ftp://example.com/",
             "https://example.com/?fbclid=2", "not a link", "https://example.com/?gclid=3&q=\xFF"});
    EXPECT_EQ(r.status, CleanCommand::kSomeInputInvalid);
    EXPECT_EQ(r.out,
              "https://example.com/\nftp://example.com/\nhttps://example.com/\nnot a link\n"
              "https://example.com/?gclid=3&q=\xFF\n");
    EXPECT_EQ(r.err,
              "scourlet: not an http or https link: ftp://example.com/\n"
              "scourlet: not one link: not a link\n"
              "scourlet: not UTF-8 text: https://example.com/?gclid=3&q=\xFF\n");
}

TEST_F(CleanCommandTest, AnArgumentThatIsNotOneLinkIsRefusedOnOneLine) {
    // Each argument that holds more than one link, or words around one, is
    // refused whole and still takes exactly one line of the output.
    const struct {
        std::string argument;
        std::string line;
    } cases[] = {
        {"https://x.example/?a=1\nhttps://y.example/?utm_source=1",
         "https://x.example/?a=1\\nhttps://y.example/?utm_source=1"},
        {"https://x.example/?a=1\r\nmore", "https://x.example/?a=1\\r\\nmore"},
        {"https://x.example/?utm_source=1 trailing words",
         "https://x.example/?utm_source=1 trailing words"},
        {"https://x.example/?utm_source=1\u00A0x", "https://x.example/?utm_source=1\u00A0x"},
    };
    for (const auto& c : cases) {
        const CommandRun r = run({"-q", c.argument, "https://z.example/?fbclid=2"});
        EXPECT_EQ(r.status, CleanCommand::kSomeInputInvalid) << c.argument;
        EXPECT_EQ(r.out, c.line + "\nhttps://z.example/\n") << c.argument;
        EXPECT_EQ(r.err, "scourlet: not one link: " + c.line + "\n") << c.argument;

        const CommandRun json = run({"--json", c.argument});
        EXPECT_EQ(json.out.find('\n'), json.out.size() - 1) << json.out;
        EXPECT_EQ(Json::parse(json.out)["outcome"], "invalid");
    }
    // White space around one link is no reason to refuse it.
    EXPECT_EQ(run({"-q", "\n https://x.example/?utm_source=1 \n"}).out, "https://x.example/\n");
}

// An argument holding one link comes back as the same text on standard input
// would: the same link found, the same bytes kept around it, the same note.
// One the finder takes no link or several links in is refused as it is and
// still keeps its line.
TEST_F(CleanCommandTest, AnArgumentIsCleanedAsTheSameLineOfStandardInput) {
    std::vector<std::pair<std::string, bool>> arguments = {
        {"https://a.example/p?id=3&utm_source=s3,", true},
        {"https://a.example/p?id=3&utm_source=s3.\"", true},
        {"(https://a.example/p?fbclid=1).", true},
        {"<https://a.example/p?utm_source=1>", true},
        {"'https://a.example/p?utm_source=1'", true},
        {"https://a.example/p?utm_source=1#top.", true},
        {"https://a.example/p?id=1&utm_source=x**", true},
        {"https://a.example/p?id=1", true},
        {"HTTPS://A.EXAMPLE/P?UTM_SOURCE=X", false},
        {"[https://a.example/p?utm_source=1]:", true},
        {"_https://a.example/p?utm_source=x_", false},
        {"x=https://a.example/p?utm_source=x", false},
        {"(https://a.example/?utm_source=1)(https://b.example/?utm_source=2)", false},
    };
    // The table's texts without white space: those left alone hold no link
    // the finder takes, and the one with two schemes holds two links.
    for (const auto& [text, expected] : testing::kPunctuationAfterLinks) {
        if (text.find_first_of(" \n") == std::string_view::npos) {
            const bool oneScheme = text.find("://") == text.rfind("://");
            arguments.emplace_back(text, text != expected && oneScheme);
        }
    }
    for (const auto& [argument, oneLink] : arguments) {
        const CommandRun asArgument = run({argument});
        if (oneLink) {
            const CommandRun asInput = run({}, argument + "\n");
            EXPECT_EQ(asArgument.out, asInput.out) << argument;
            EXPECT_EQ(asArgument.status, CleanCommand::kSuccess) << argument;
            EXPECT_EQ(asArgument.err, asInput.err) << argument;
        } else {
            EXPECT_EQ(asArgument.out, argument + "\n") << argument;
            EXPECT_EQ(asArgument.status, CleanCommand::kSomeInputInvalid) << argument;
        }
    }
    EXPECT_EQ(run({"(https://a.example/?utm_source=1)(https://b.example/)"}).err,
              "scourlet: not one link: (https://a.example/?utm_source=1)(https://b.example/)\n");
}

TEST_F(CleanCommandTest, StandardInputComesBackWithOnlyTheLinksCleaned) {
    const std::string text =
        "Read this:\r\n  https://example.com/a?utm_source=x&id=1, "
        "then\n\t(https://example.com/b?fbclid=2)\n"
        "caf\xC3\xA9 \xE2\x80\x94 end without newline";
    const CommandRun r = run({"-q"}, text);
    EXPECT_EQ(r.status, CleanCommand::kSuccess);
    EXPECT_EQ(r.out,
              "Read this:\r\n  https://example.com/a?id=1, then\n\t(https://example.com/b)\n"
              "caf\xC3\xA9 \xE2\x80\x94 end without newline");
}

// Punctuation right after a link is the user's text: only the link changes,
// whether the text is taken whole or, being long, line by line.
TEST_F(CleanCommandTest, PunctuationAfterALinkSurvivesItsClean) {
    const std::string filler = std::string(70 * 1024, 'x') + "\n";
    for (const auto& [text, expected] : testing::kPunctuationAfterLinks) {
        const std::string line = std::string(text) + "\n";
        EXPECT_EQ(run({"-q"}, line).out, std::string(expected) + "\n") << text;
        EXPECT_EQ(run({"-q"}, filler + line).out, filler + std::string(expected) + "\n") << text;
    }
}

// A byte-order mark at the very start of the input goes out as it came, and
// a link right behind it is cleaned as one at the start of the text; a mark
// anywhere else is glued to the text around it.
TEST_F(CleanCommandTest, AByteOrderMarkOpensTheTextAndIsKept) {
    const std::string mark = "\xEF\xBB\xBF";
    const std::string filler = std::string(70 * 1024, 'x') + "\n";
    const struct {
        std::string input;
        std::string expected;
    } cases[] = {
        {mark + "https://a.example/?utm_source=x", mark + "https://a.example/"},
        {mark + "https://a.example/?utm_source=x.\n", mark + "https://a.example/.\n"},
        // Taken line by line, being long.
        {mark + "https://a.example/?utm_source=x\n" + filler,
         mark + "https://a.example/\n" + filler},
        {mark, mark},
        {"\xEF\xBB", "\xEF\xBB"},
        {"x " + mark + "https://a.example/?utm_source=x",
         "x " + mark + "https://a.example/?utm_source=x"},
        {mark + mark + "https://a.example/?utm_source=x",
         mark + mark + "https://a.example/?utm_source=x"},
    };
    for (const auto& c : cases) {
        const CommandRun r = run({"-q"}, c.input);
        EXPECT_EQ(r.status, CleanCommand::kSuccess);
        EXPECT_TRUE(r.out == c.expected) << c.input.substr(0, 60);
    }
}

TEST_F(CleanCommandTest, UnwrappedLinksInjectNoMarkupIntoTheText) {
    const std::string text =
        "<a href=\"https://www.google.com/url?q=https%3A%2F%2Fa.example%2F%22onmouseover%3D%22"
        "alert(1)&sa=D\">x</a>\n";
    EXPECT_EQ(run({"-q"}, text).out,
              "<a href=\"https://a.example/%22onmouseover=%22alert(1)\">x</a>\n");
}

TEST_F(CleanCommandTest, TextTheLinkFinderRefusesIsTakenLineByLine) {
    // A control character refuses its own line only; binary data passes through.
    std::string text =
        "https://example.com/?utm_source=a\nbad\x01 https://example.com/?utm_source=b\n";
    text.append(std::string("\0\xFF\xFE", 3));
    EXPECT_EQ(run({"-q"}, text).out,
              "https://example.com/\nbad\x01 https://example.com/?utm_source=b\n" +
                  std::string("\0\xFF\xFE", 3));

    std::string big(70 * 1024, 'x');
    big.append("\nhttps://example.com/?utm_source=c\n");
    EXPECT_EQ(run({"-q"}, big).out, std::string(70 * 1024, 'x') + "\nhttps://example.com/\n");
}

TEST_F(CleanCommandTest, LongInputIsCleanedAsItFlowsWithNoLinkCutAtABufferEnd) {
    // Over a megabyte of lines of varying length, so that links straddle every
    // read boundary, and a line longer than the link finder takes in the middle.
    std::string text;
    std::string expected;
    for (int i = 0; text.size() < 1'200'000; ++i) {
        const std::string pad(static_cast<std::size_t>(i % 97), 'w');
        const std::string id = std::to_string(i);
        text += pad + " https://example.com/" + id + "?utm_source=x&id=" + id + "\n";
        expected += pad + " https://example.com/" + id + "?id=" + id + "\n";
        if (i == 5000) {
            text += std::string(70 * 1024, 'y') + " https://example.com/?utm_source=x&id=long\n";
            expected += std::string(70 * 1024, 'y') + " https://example.com/?id=long\n";
        }
    }
    text += "last https://example.com/?fbclid=1";
    expected += "last https://example.com/";
    const CommandRun r = run({"-q"}, text);
    EXPECT_EQ(r.status, CleanCommand::kSuccess);
    EXPECT_TRUE(r.out == expected);
}

TEST_F(CleanCommandTest, LongInputIsCleanedLineByLineAsEachLineAloneWouldBe) {
    // Lines that test the finder's edges (punctuation, brackets, quotes,
    // Unicode, refused control characters, lines just under and over what the
    // finder takes), repeated until reads end at every kind of place. Each
    // line must come out as the tool gives it when that line is all its input.
    const std::string link = "https://example.com/p?utm_source=x&id=1";
    const std::vector<std::string> lines = {
        "see " + link + ". and (" + link + "), [" + link + "]; <" + link + ">\n",
        "\"" + link + "\" '" + link + "' " + link + "?!\r\n",
        "caf\u00E9\u00A0" + link + "\u3000" + link + "\u2028x\n",
        "x=" + link + " " + link + "&u=https://example.org/?fbclid=1\n",
        "HTTPS://EXAMPLE.COM/?UTM_SOURCE=X \u017Fttps://example.com/ " + link + "\n",
        "bad\x01 " + link + "\n",
        "\xFF\xFE " + link + " \xC3\n",
        "\n",
        std::string(65'535 - link.size() - 2, 'w') + " " + link + "\n",
        std::string(65'536 - link.size() - 2, 'w') + " " + link + "\n",
        std::string(65'536 - link.size(), 'v') + link + "\n",
        std::string(65'537 - link.size() - 2, 'w') + " " + link + "\n",
    };
    std::map<std::string, std::string> alone;
    for (const std::string& line : lines) {
        alone[line] = run({"-q"}, line).out;
    }
    std::string text;
    std::string expected;
    for (std::size_t i = 0; text.size() < 1'500'000; ++i) {
        const std::string& line = lines[(i * 7) % lines.size()];
        text += line;
        expected += alone[line];
    }
    const std::string last = "end " + link;
    text += last;
    expected += run({"-q"}, last).out;
    EXPECT_TRUE(run({"-q"}, text).out == expected);
}

TEST_F(CleanCommandTest, LinesLongerThanTheFinderTakesAreCleanedInPieces) {
    const std::string link = "https://example.com/p?utm_source=x&id=1";
    EXPECT_EQ(run({"-q"}, std::string(70'000, 'x') + " " + link + "\n").out,
              std::string(70'000, 'x') + " https://example.com/p?id=1\n");

    // Stretches that each begin with a link stopper and test the finder's
    // edges. Inside a long line after prose, each must come out as it does
    // after one letter of prose in a short text, wherever the pieces are cut.
    const std::vector<std::string> stretches = {
        " " + link + ".",
        " (" + link + "),",
        " [" + link + "]; and",
        " <" + link + ">",
        " \"" + link + "\"",
        " '" + link + "'?!",
        "\t" + link + "#top.",
        "\u00A0" + link,
        "\u3000" + link + "\u3000",
        " x=" + link,
        " " + link + "&u=https://example.org/?fbclid=1",
        "<a href=\"" + link + "\">x</a>",
        "\r" + link + ",",
        " caf\u00E9 \xFF\xFE " + link,
        " HTTPS://EXAMPLE.COM/?UTM_SOURCE=X \u017Fttps://example.com/",
        " " + std::string(3'000, 'w'),
        // Long white space, so that pieces also begin inside it: after prose
        // the full stop is not the link's, and the parameter before it goes.
        std::string(5'000, ' ') + "https://example.com/p?id=1&utm_source=x.",
        // Emphasis closed after a link, opened before it in the same piece or,
        // across the long white space, in an earlier one.
        " _see " + link + "_ ~~" + link + "~~",
        " __see" + std::string(5'000, ' ') + "https://example.com/p?utm_source=x__",
        " my_var https://example.com/p?utm_campaign=spring_",
        // Links in brackets, ending at the writer's closer, two in one run.
        " **[two](" + link + ")**",
        " [![b](" + link + ")](" + link + ")[^1]:",
        " [t](" + link + " \"Title\")",
        " (https://example.com/wiki/Foo_(bar)?utm_source=x)",
    };
    std::map<std::string, std::string> afterProse;
    for (const std::string& stretch : stretches) {
        afterProse[stretch] = run({"-q"}, "x" + stretch).out.substr(1);
    }
    // The first stretch of a line is found at the start of its text.
    const std::string first = link + ",";
    for (const std::size_t length : {200'000U, 3'000'000U}) {
        std::string line = first;
        std::string expected = run({"-q"}, first).out;
        for (std::size_t i = 0; line.size() < length; ++i) {
            const std::string& stretch = stretches[(i * 7) % stretches.size()];
            line += stretch;
            expected += afterProse[stretch];
        }
        const CommandRun r = run({"-q"}, line + "\n" + first);
        EXPECT_EQ(r.status, CleanCommand::kSuccess);
        EXPECT_TRUE(r.out == expected + "\n" + run({"-q"}, first).out) << length;
    }
}

TEST_F(CleanCommandTest, NoLinkOfALongLineIsCutInTwo) {
    const std::string link = "https://example.com/p?utm_source=x&id=1";
    const std::string cleaned = "https://example.com/p?id=1";
    const std::string longLink = "https://example.com/?utm_source=x&q=" + std::string(70'000, 'a');
    const std::string run100k(100'000, 'r');
    const struct {
        std::string line;
        std::string expected;
    } cases[] = {
        // A link longer than a piece is passed on whole rather than cleaned
        // in part, which would change what it says.
        {"see " + longLink + " " + link, "see " + longLink + " " + cleaned},
        // So is a run without any stopper longer than a piece, with what is
        // glued into it; the links after it are cleaned.
        {run100k + "(" + link + ") " + link, run100k + "(" + link + ") " + cleaned},
        {run100k + "\u3000" + link, run100k + "\u3000" + cleaned},
        // A control character keeps the piece it is in as it is, and no more.
        {"bad\x01 " + link + " " + run100k + " " + link,
         "bad\x01 " + link + " " + run100k + " " + cleaned},
    };
    for (const auto& c : cases) {
        for (const std::string end : {"", "\n"}) {
            EXPECT_TRUE(run({"-q"}, c.line + end).out == c.expected + end) << c.line.substr(0, 40);
        }
    }
}

TEST_F(CleanCommandTest, AFailedWriteIsReportedAndEndsWithItsOwnStatus) {
    std::string text;
    for (int i = 0; text.size() < 1'000'000; ++i) {
        text += "line " + std::to_string(i) + " https://example.com/?utm_source=x\n";
    }
    const struct {
        std::vector<std::string> args;
        std::string input;
        std::size_t room;
    } cases[] = {
        {{"https://example.com/?utm_source=x"}, "", 0},
        {{"-q", "https://example.com/?utm_source=x", "https://example.com/"}, "", 20},
        {{"--json", "https://example.com/?utm_source=x"}, "", 0},
        {{"-q", "not a link"}, "", 0},
        {{"-q"}, "https://example.com/?utm_source=x", 0},
        {{"-q"}, text, 100'000},
        {{"--json"}, text, 100'000},
        {{"--rules", "/nonexistent/rules.json"}, "kept", 0},
        {{"--help"}, "", 0},
        {{"--version"}, "", 0},
    };
    for (const auto& c : cases) {
        FillingDevice device(c.room);
        std::ostream out(&device);
        std::ostringstream err;
        EXPECT_EQ(runInto(c.args, c.input, out, err), CleanCommand::kWriteFailed) << c.args[0];
        EXPECT_NE(err.str().find("scourlet: could not write to standard output: " +
                                 std::string(std::strerror(ENOSPC)) + "\n"),
                  std::string::npos)
            << err.str().substr(0, 200);
        EXPECT_EQ(device.taken().size(), c.room);
    }

    // Notes that cannot be written leave the output whole but fail the run.
    FillingDevice fullErrors(0);
    std::ostream err(&fullErrors);
    std::ostringstream out;
    EXPECT_EQ(runInto({"https://example.com/?utm_source=x"}, "", out, err),
              CleanCommand::kWriteFailed);
    EXPECT_EQ(out.str(), "https://example.com/\n");
}

TEST_F(CleanCommandTest, TextOnStandardInputGetsOneNotePerLinkInTextOrder) {
    // A short text (taken whole) and one long enough to be taken line by line
    // with more notes than are gathered before a write.
    for (const int lines : {2, 6000}) {
        std::string text;
        std::string notes;
        for (int i = 0; i < lines; ++i) {
            const bool tracked = i % 2 == 0;
            text += "line " + std::to_string(i) + " https://example.com/" + std::to_string(i) +
                    (tracked ? "?utm_source=x" : "") + "\n";
            notes += tracked ? "scourlet: removed utm_source\n" : "scourlet: nothing to remove\n";
        }
        const CommandRun plain = run({}, text);
        EXPECT_EQ(plain.status, CleanCommand::kSuccess);
        EXPECT_TRUE(plain.err == notes) << lines;
        EXPECT_EQ(plain.out.find("utm_source"), std::string::npos);

        const CommandRun json = run({"--json"}, text);
        std::istringstream objects(json.out);
        int count = 0;
        for (std::string line; std::getline(objects, line); ++count) {
            const Json object = Json::parse(line);
            ASSERT_EQ(object["outcome"], count % 2 == 0 ? "cleaned" : "unchanged") << line;
            ASSERT_EQ(object["input"].get<std::string>().find("https://example.com/" +
                                                              std::to_string(count)),
                      0U);
        }
        EXPECT_EQ(count, lines);
        EXPECT_EQ(json.err, "");
    }
}

TEST_F(CleanCommandTest, JsonGivesOneObjectPerInput) {
    const CommandRun r =
        run({"--json", "https://example.com/?utm_source=x", "https://example.com/", "nope"});
    std::istringstream lines(r.out);
    std::vector<Json> objects;
    for (std::string line; std::getline(lines, line);) {
        objects.push_back(Json::parse(line));
    }
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[0]["outcome"], "cleaned");
    EXPECT_EQ(objects[0]["result"]["removedQueryParameters"], Json::array({"utm_source"}));
    EXPECT_EQ(objects[1]["outcome"], "unchanged");
    EXPECT_EQ(objects[2]["outcome"], "invalid");
    EXPECT_EQ(r.status, CleanCommand::kSomeInputInvalid);
}

TEST_F(CleanCommandTest, UsesTheApplicationsSwitchesAndExceptionsWithoutWritingThem) {
    const std::string states = R"({"rule:Analytics:utm_*":false})";
    saved[std::string(RulesEngine::enabledStateKey)] =
        Json::binary(std::vector<std::uint8_t>(states.begin(), states.end()));
    const std::string domains = R"([{"host":"kept.example"}])";
    saved[std::string(DomainExceptionStore::kStorageKey)] =
        Json::binary(std::vector<std::uint8_t>(domains.begin(), domains.end()));

    const CommandRun r =
        run({"https://example.com/?utm_source=x&fbclid=1", "https://kept.example/?fbclid=1"});
    EXPECT_EQ(r.out, "https://example.com/?utm_source=x\nhttps://kept.example/?fbclid=1\n");
    EXPECT_EQ(r.err, "scourlet: removed fbclid\nscourlet: cleaning is off for kept.example\n");
}

TEST_F(CleanCommandTest, RulesFilesReplaceOrExtendTheShippedRules) {
    testing::TempDir dir;
    testing::writeFile(
        dir / "rules.json",
        R"({"providers":{"own":{"urlPattern":"^https://own\\.example","rules":["track"]}}})");
    testing::writeFile(dir / "broken.json", R"({"providers":[]})");

    EXPECT_EQ(run({"-q", "--rules", (dir / "rules.json").string(),
                   "https://own.example/?track=1&utm_source=x"})
                  .out,
              "https://own.example/\n");
    EXPECT_EQ(run({"-q", "--supplementary=" + (dir / "rules.json").string(),
                   "https://own.example/?track=1&id=2"})
                  .out,
              "https://own.example/?id=2\n");

    const CommandRun broken =
        run({"--rules", (dir / "broken.json").string(), "https://a.example/"});
    EXPECT_EQ(broken.status, CleanCommand::kUsageError);
    EXPECT_NE(broken.err.find("is not a providers file"), std::string::npos);
    EXPECT_EQ(broken.out, "");

    // Standard input still comes back whole when the rules cannot be read.
    const CommandRun missing =
        run({"--rules", (dir / "missing.json").string()}, "keep https://a.example/?utm_source=x");
    EXPECT_EQ(missing.status, CleanCommand::kUsageError);
    EXPECT_EQ(missing.out, "keep https://a.example/?utm_source=x");
}

TEST_F(CleanCommandTest, ProvidersThatLostPatternsToCompileErrorsAreNamed) {
    testing::TempDir dir;
    const auto file = dir / "rules.json";
    testing::writeFile(file, R"json({"providers":{
        "whole":{"urlPattern":"^https://own\\.example","rules":["track"]},
        "lossy":{"urlPattern":"^https://lossy\\.example","rules":["track","(bad"],
                 "exceptions":["[bad"],"rawRules":["ok"]},
        "lost":{"urlPattern":"(","rules":["track"]},
        "one":{"urlPattern":"^https://one\\.example","redirections":["^https://one\\.example/\\?u=((?<x)"]}}})json");
    const std::string expected =
        "scourlet: warning: " + file.string() +
        ": provider \"lossy\" lost 2 patterns that do not compile: rules \"(bad\", "
        "exceptions \"[bad\"\n" +
        "scourlet: warning: " + file.string() +
        ": provider \"lost\" is left out: its urlPattern \"(\" does not compile\n" +
        "scourlet: warning: " + file.string() +
        ": provider \"one\" lost 1 pattern that does not compile: redirections "
        "\"^https://one\\.example/\\?u=((?<x)\"\n";
    for (const std::string option : {"--rules", "--supplementary"}) {
        const CommandRun r =
            run({"-q", option, file.string(), "https://lossy.example/?track=1&id=2"});
        EXPECT_EQ(r.status, CleanCommand::kSuccess);
        EXPECT_EQ(r.err, expected) << option;
        // What compiled still cleans.
        EXPECT_EQ(r.out, "https://lossy.example/?id=2\n");
    }
    EXPECT_EQ(run({"-q", "--rules", file.string()}, "text").err, expected);
}

// A shipped bundle signed with a fixture key (rules 2026.03.01.5) and the
// application's store with the verified update 2026.03.02.1 installed. Each
// release's rules remove the parameter named after its version.
class InstalledRulesTest : public CleanCommandTest {
protected:
    InstalledRulesTest() {
        const testing::RuleRelease shippedRelease("2026.03.01.5", config::kMakerHost);
        testing::writeFile(dir / "bundle" / "rule-feed-keys.json", testing::keysetText({&key}));
        testing::writeFile(dir / "bundle" / "manifest.json", shippedRelease.manifestText());
        testing::writeFile(dir / "bundle" / "data.min.json", shippedRelease.clear);
        testing::writeFile(dir / "bundle" / "scourlet-supplementary.json",
                           shippedRelease.supplementary);
        bundle = &fixtureBundle;
        installedRulesRoot = dir / "data" / "installed";
        const SignedRuleFeed::Store store{installedRulesRoot, testing::keysetText({&key})};
        const testing::RuleRelease installed("2026.03.02.1", config::kMakerHost);
        EXPECT_TRUE(store.install(installed.signedRecord(key), shippedRelease.version).ok());
    }

    std::filesystem::path stateFile() const {
        return *installedRulesRoot / SignedRuleFeed::Store::kStateFileName;
    }

    static constexpr std::string_view kLink =
        "https://example.com/?clear_2026_03_02_1=a&clear_2026_03_01_5=b&id=1";
    static constexpr std::string_view kCleanedByUpdate =
        "https://example.com/?clear_2026_03_01_5=b&id=1";
    static constexpr std::string_view kCleanedByShipped =
        "https://example.com/?clear_2026_03_02_1=a&id=1";

    const testing::TempDir dir;
    const testing::FixtureKey key = testing::FixtureKey::generate("rules-test");
    const ResourceBundle fixtureBundle{dir / "bundle"};
};

TEST_F(InstalledRulesTest, CleansWithTheVerifiedInstalledRulesElseTheShippedOnes) {
    const std::string link(kLink);
    const CommandRun installed = run({"-q", link});
    EXPECT_EQ(installed.out, std::string(kCleanedByUpdate) + "\n");
    EXPECT_EQ(installed.err, "");

    // A stored file that no longer verifies is not used.
    auto state = SignedRuleFeed::State::decode(testing::readFile(stateFile()));
    ASSERT_TRUE(state.ok());
    state->active.supplementary += " ";
    testing::writeFile(stateFile(), state->encoded());
    EXPECT_EQ(run({"-q", link}).out, std::string(kCleanedByShipped) + "\n");
}

// Cleaning with older rules than the user installed is said once a run, on
// standard error, naming the file; the links are still cleaned.
TEST_F(InstalledRulesTest, ARefusedUpdateIsSaidOnceAndTheShippedRulesClean) {
    std::string bytes = testing::readFile(stateFile());
    char& changed = bytes[bytes.size() / 2];
    changed = changed == 'A' ? 'B' : 'A';
    testing::writeFile(stateFile(), bytes);

    const std::string warning = "scourlet: warning: the installed rule update " +
                                stateFile().string() +
                                " failed verification; the shipped rules are used\n";
    const std::string link(kLink);
    const std::string shippedClean(kCleanedByShipped);
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string input;
        std::string out;
    };
    const std::vector<Case> cases = {
        {"links as arguments", {"-q", link, link}, "", shippedClean + "\n" + shippedClean + "\n"},
        {"links in text",
         {"-q"},
         "a " + link + "\nb " + link + "\n",
         "a " + shippedClean + "\nb " + shippedClean + "\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandRun r = run(c.args, c.input);
        EXPECT_EQ(r.status, CleanCommand::kSuccess);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, warning);
    }
    // Beside the notes of a run that is not quiet, still once.
    const CommandRun noisy = run({link, link});
    EXPECT_EQ(noisy.err.rfind(warning, 0), 0u) << noisy.err;
    EXPECT_EQ(noisy.err.find(warning, 1), std::string::npos) << noisy.err;
    // A rules file named on the command line is no fallback: nothing to say.
    EXPECT_EQ(run({"-q", "--rules", (dir / "bundle" / "data.min.json").string(), link}).err, "");
}

TEST_F(CleanCommandTest, MissingBundleIsAClearError) {
    bundle = nullptr;
    const CommandRun r = run({"https://example.com/?utm_source=x"});
    EXPECT_EQ(r.status, CleanCommand::kUsageError);
    EXPECT_NE(r.err.find("Scourlet_ScourletCore.bundle"), std::string::npos);
}

TEST_F(CleanCommandTest, OptionsAndUsageErrors) {
    const std::pair<std::vector<std::string>, std::string> bad[] = {
        {{"--bogus"}, "unknown option --bogus"},
        {{"--rules"}, "--rules needs a file"},
        {{"--rules="}, "--rules needs a file"},
        {{"--rulesx"}, "unknown option --rulesx"},
    };
    for (const auto& [args, message] : bad) {
        const CommandRun r = run(args);
        EXPECT_EQ(r.status, CleanCommand::kUsageError);
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
    EXPECT_NE(run({"--help"}).out.find("Usage: scourlet"), std::string::npos);
    EXPECT_EQ(run({"-V"}).out.substr(0, 9), "scourlet ");
    // After "--" everything is a link, even what looks like an option.
    EXPECT_EQ(run({"-q", "--", "--json"}).status, CleanCommand::kSomeInputInvalid);
}

}  // namespace
}  // namespace scourlet::cli
