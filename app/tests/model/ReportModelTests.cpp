#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "ScourletCore/platform/Text.h"
#include "app/report/MissedTrackerReportDraft.h"
#include "app/report/ReportHostState.h"
#include "support/ManualClock.h"

namespace scourlet::app {
namespace {

MissedTrackerReportDraft draftFor(CleanResult result) {
    MissedTrackerReportDraft::Environment environment;
    environment.osVersion = "Debian GNU/Linux 12 (bookworm)";
    environment.appVersion = "1.2.3";
    environment.rulesProviderCount = 214;
    return MissedTrackerReportDraft(std::move(result), environment,
                                    std::make_shared<testing::ManualClock>());
}

const CleanResult kResult{.originalURL = "https://shop.example/p?utm_source=x&ref=abc",
                          .cleanedURL = "https://shop.example/p?ref=abc"};

TEST(ReportHostStateTest, PendingFirstThenResult) {
    struct Case {
        bool pending;
        bool hasResult;
        ReportHostState state;
    };
    const Case cases[] = {
        {false, false, ReportHostState::noResult},
        {false, true, ReportHostState::sheet},
        {true, true, ReportHostState::pendingResolution},
        {true, false, ReportHostState::pendingResolution},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(reportHostState(c.pending, c.hasResult), c.state);
        EXPECT_EQ(canReport(c.pending, c.hasResult), c.state == ReportHostState::sheet);
    }
}

TEST(MissedTrackerReportDraftTest, NoteKeepsFiveHundredCharacters) {
    const std::string emoji = "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD";  // thumbs up with a skin tone: one character
    struct Case {
        const char* name;
        std::string note;
        bool cut;
        std::string kept;
    };
    std::string mixed;
    for (int i = 0; i < 300; ++i) {
        mixed += emoji + "a";
    }
    std::string mixedKept;
    for (int i = 0; i < 250; ++i) {
        mixedKept += emoji + "a";
    }
    const Case cases[] = {
        {"empty", "", false, ""},
        {"500 letters", std::string(500, 'x'), false, std::string(500, 'x')},
        {"501 letters", std::string(501, 'x'), true, std::string(500, 'x')},
        {"600 characters with emoji", mixed, true, mixedKept},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto draft = draftFor(kResult);
        EXPECT_EQ(draft.setNote(c.note), c.cut);
        EXPECT_EQ(draft.note(), c.kept);
        EXPECT_EQ(draft.counterText(), std::to_string(graphemeCount(c.kept)) + " / 500");
        EXPECT_EQ(draft.report().userNote, c.kept);
    }
}

TEST(MissedTrackerReportDraftTest, ReportCarriesTheProgramsFacts) {
    auto draft = draftFor(kResult);
    const MissedTrackerReport report = draft.report();
    EXPECT_EQ(report.platform, MissedTrackerReport::Platform::linux);
    EXPECT_EQ(report.osVersion, "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(report.appVersion, "1.2.3");
    EXPECT_EQ(report.rulesProviderCount, 214);
    EXPECT_EQ(report.surface, MissedTrackerReport::Surface::clipboard);
    EXPECT_EQ(report.originalURL, kResult.originalURL);
    EXPECT_EQ(report.userNote, "");
    EXPECT_NE(report.bodyText().find("Linux"), std::string::npos);
    EXPECT_TRUE(draft.emailAvailable());
}

// A clean whose mailto link has exactly `target` characters, found by growing
// the link's path and then the note. Letters add an even number of characters
// (each shows in the body and in the JSON appendix); a quotation mark, escaped
// in the JSON, adds an odd number.
std::optional<MissedTrackerReportDraft> draftWithMailtoLength(std::size_t target) {
    const auto lengthFor = [&](std::size_t path, const std::string& note) {
        auto draft = draftFor(CleanResult{.originalURL = "https://h.example/" + std::string(path, 'p') + "?utm_source=x",
                                          .cleanedURL = "https://h.example/" + std::string(path, 'p')});
        draft.setNote(note);
        return std::make_pair(draft.report().mailtoURL()->size(), std::move(draft));
    };
    std::size_t low = 0;
    std::size_t high = target;
    while (low < high) {  // the longest path whose link still fits
        const std::size_t middle = (low + high + 1) / 2;
        if (lengthFor(middle, "").first <= target) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    for (const std::string suffix : {"", "\""}) {
        for (std::size_t letters = 0; letters <= 100; ++letters) {
            auto [length, draft] = lengthFor(low, std::string(letters, 'n') + suffix);
            if (length == target) {
                return std::move(draft);
            }
        }
    }
    return std::nullopt;
}

TEST(MissedTrackerReportDraftTest, EmailOnlyUpTo8192Characters) {
    for (std::size_t length : {8192u, 8193u}) {
        auto draft = draftWithMailtoLength(length);
        ASSERT_TRUE(draft.has_value()) << length;
        EXPECT_EQ(draft->report().mailtoURL()->size(), length);
        EXPECT_EQ(draft->emailAvailable(), length <= 8192) << length;
    }
}

}  // namespace
}  // namespace scourlet::app
