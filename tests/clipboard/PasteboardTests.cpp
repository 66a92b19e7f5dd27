#include "ScourletCore/clipboard/Pasteboard.h"

#include <memory>

#include <gtest/gtest.h>

#include "support/InMemoryPasteboard.h"

namespace scourlet {
namespace {

using testing::InMemoryPasteboard;

TEST(PasteboardWatch, BackendRunsWhileAnyHandleLives) {
    InMemoryPasteboard pasteboard;
    EXPECT_FALSE(pasteboard.backendWatching());
    Connection first = pasteboard.watch();
    Connection second = pasteboard.watch();
    EXPECT_TRUE(pasteboard.backendWatching());
    first.reset();
    EXPECT_TRUE(pasteboard.backendWatching());
    EXPECT_TRUE(pasteboard.isWatched());
    second.reset();
    EXPECT_FALSE(pasteboard.backendWatching());
    EXPECT_FALSE(pasteboard.isWatched());

    Connection again = pasteboard.watch();
    EXPECT_TRUE(pasteboard.backendWatching());
}

TEST(PasteboardWatch, HandleMayOutliveThePasteboard) {
    auto pasteboard = std::make_unique<InMemoryPasteboard>();
    Connection handle = pasteboard->watch();
    pasteboard.reset();
    handle.reset();  // finds no pasteboard to tell, and does not touch freed memory
}

}  // namespace
}  // namespace scourlet
