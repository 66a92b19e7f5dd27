// The clipboard monitor's text-block clean and its share-link resolution.
#include <algorithm>
#include <utility>

#include "ScourletCore/clipboard/ClipboardMonitor.h"
#include "ScourletCore/linkrewriting/ShareLinkResolutionPolicy.h"

namespace scourlet {

// One resolution of the share links of a cleaned text, from its start to its
// end. Links are resolved one after another, in text order.
struct ClipboardMonitor::TextBlockResolution {
    TextBlockState start;              // the block, results and output at the start
    std::int64_t startCount = 0;       // the change count at the start
    BlockResults working;              // the results with resolved links put in
    std::vector<CleanResult> changed;  // the results the network changed, in order
    bool failed = false;
    std::size_t next = 0;  // the next position to look at
};

// --- Text blocks -------------------------------------------------------------

std::string ClipboardMonitor::blockOutput(const TextURLBlock& block, const BlockResults& results) {
    return block.replacingURLs([&](std::size_t index, std::string_view url) {
        const auto& result = results[index];
        return result ? result->cleanedURL : std::string(url);
    });
}

bool ClipboardMonitor::cleanTextBlock(TextURLBlock block) {
    // The clipboard holds what the monitor wrote: nothing to clean again.
    if (textBlockState_ && textBlockState_->output == block.text()) {
        if (automaticShareLinkResolutionEnabled_.get()) {
            resolvePendingTextBlockShareLinks();
        }
        return true;
    }

    lastSkippedDomain_.set(std::nullopt);
    // One time budget for the whole block; links past it stay as they are.
    const RegexTimeBudget budget(URLCleaner::cleaningTimeBudget);
    BlockResults results;
    results.reserve(block.matches().size());
    bool skippedSeen = false;
    for (const auto& match : block.matches()) {
        CleanOutcome outcome = urlCleaner_->cleanWithOutcome(match.url);
        switch (outcome.kind()) {
            case CleanOutcome::Kind::cleaned:
                results.emplace_back(std::move(*outcome.cleanedResult()));
                break;
            case CleanOutcome::Kind::skippedDisabled:
                results.emplace_back(std::nullopt);
                // The first excepted host of the block is the one shown.
                if (!skippedSeen) {
                    skippedSeen = true;
                    lastSkippedDomain_.set(*outcome.skippedHost());
                }
                break;
            case CleanOutcome::Kind::unchanged:
                results.emplace_back(
                    CleanResult{.originalURL = match.url, .cleanedURL = match.url});
                break;
            case CleanOutcome::Kind::invalid:
                results.emplace_back(std::nullopt);
                break;
        }
    }

    std::string output = blockOutput(block, results);
    const bool changed = output != block.text();
    textBlockState_ = TextBlockState{std::move(block), std::move(results), std::move(output)};
    const TextBlockState& state = *textBlockState_;

    if (changed) {
        writeBack(state.output);
        // Each changed link counts once, except share links that still wait
        // for resolution: they count when they are resolved.
        for (const auto& result : state.results) {
            if (result && result->originalURL != result->cleanedURL &&
                !ShareLinkResolutionPolicy::needsResolution(result->cleanedURL)) {
                recordCleanedResult(*result);
            }
        }
        recordTextBlockClean(state.block.text(), state.results);
    }
    const auto pending =
        std::find_if(state.results.begin(), state.results.end(), [](const auto& r) {
            return r && ShareLinkResolutionPolicy::needsResolution(r->cleanedURL);
        });
    if (pending != state.results.end()) {
        presentPendingShareLinkResult(**pending);
    }
    if (automaticShareLinkResolutionEnabled_.get()) {
        resolvePendingTextBlockShareLinks();
    }
    return true;
}

// --- Pending share links -----------------------------------------------------

bool ClipboardMonitor::hasPendingShareLinkResolution() const {
    if (textBlockState_) {
        return std::any_of(
            textBlockState_->results.begin(), textBlockState_->results.end(), [](const auto& r) {
                return r && ShareLinkResolutionPolicy::needsResolution(r->cleanedURL);
            });
    }
    const std::optional<CleanResult>& last = lastCleanedResult_.get();
    return last && ShareLinkResolutionPolicy::needsResolution(last->cleanedURL);
}

void ClipboardMonitor::resolvePendingShareLink() {
    if (textBlockState_) {
        resolvePendingTextBlockShareLinks();
    } else {
        resolveSingleShareLink();
    }
}

void ClipboardMonitor::resolveInBackground(std::string link,
                                           std::function<void(ShareLinkAnswer)> apply) {
    std::weak_ptr<int> alive = lifetime_;
    std::shared_ptr<MainQueue> queue = environment_.mainQueue;
    environment_.executor->run([resolve = environment_.resolveShareLink, link = std::move(link),
                                queue = std::move(queue), alive = std::move(alive),
                                apply = std::move(apply)]() mutable {
        ShareLinkAnswer answer;
        try {
            auto result = resolve(std::move(link));
            if (result) {
                answer.resolved = std::move(*result);
            } else {
                answer.error = result.error();
            }
        } catch (...) {
            // A resolver that throws failed without a description; the
            // exception must not end the worker thread (and the process).
        }
        queue->post([alive = std::move(alive), apply = std::move(apply),
                     answer = std::move(answer)]() mutable {
            // Runs on the main thread, where the monitor also ends, so this
            // test cannot race its destruction.
            if (!alive.expired()) {
                apply(std::move(answer));
            }
        });
    });
}

void ClipboardMonitor::reportShareLinkFailure(
    const std::optional<ShareLinkResolutionError>& error) {
    isResolvingShareLink_.set(false);
    shareLinkResolutionError_.set(error ? std::string(errorDescription(*error))
                                        : std::string(undescribedFailureMessage));
}

// --- One share link ----------------------------------------------------------

void ClipboardMonitor::resolveSingleShareLink() {
    if (isResolvingShareLink_.get()) {
        return;
    }
    const std::optional<CleanResult>& last = lastCleanedResult_.get();
    if (!last || !ShareLinkResolutionPolicy::service(last->cleanedURL)) {
        return;
    }
    const std::optional<std::string> text = readClipboard();
    std::optional<ClipboardLink> link = text ? ClipboardLink::make(*text) : std::nullopt;
    if (!link || link->url() != last->cleanedURL) {
        shareLinkResolutionError_.set(std::string(clipboardChangedBeforeRequestMessage));
        return;
    }
    const std::int64_t startCount = pasteboard_->changeCount();
    isResolvingShareLink_.set(true);
    shareLinkResolutionError_.set(std::nullopt);
    resolveInBackground(last->cleanedURL, [this, prior = *last, link = std::move(*link),
                                           startCount](ShareLinkAnswer answer) {
        applySingleShareLinkAnswer(std::move(answer), prior, link, startCount);
    });
}

void ClipboardMonitor::applySingleShareLinkAnswer(ShareLinkAnswer answer, const CleanResult& prior,
                                                  const ClipboardLink& clipboardLink,
                                                  std::int64_t startCount) {
    if (!answer.resolved) {
        reportShareLinkFailure(answer.error);
        return;
    }
    isResolvingShareLink_.set(false);
    shareLinkResolutionError_.set(std::nullopt);
    // Newer contents win over an answer that took its time.
    if (pasteboard_->changeCount() != startCount) {
        shareLinkResolutionError_.set(std::string(clipboardChangedMessage));
        return;
    }
    const CleanResult result = urlCleaner_->resultAfterNetworkResolution(
        prior.originalURL, answer.resolved->canonicalURL, answer.resolved->contactedHost, prior);
    writeBack(clipboardLink.replacingURL(result.cleanedURL));
    if (const auto& recorder = urlCleaner_->lastCleanRecorder()) {
        recorder->record(result.originalURL, result.cleanedURL,
                         std::string(networkResolutionSurface));
    }
    recordCleanedResult(result);
}

// --- The share links of a text block -----------------------------------------

void ClipboardMonitor::resolvePendingTextBlockShareLinks() {
    if (isResolvingShareLink_.get() || !textBlockState_) {
        return;
    }
    const BlockResults& results = textBlockState_->results;
    // Links pending only by the short-link host have no resolvable shape.
    if (std::none_of(results.begin(), results.end(), [](const auto& r) {
            return r && ShareLinkResolutionPolicy::service(r->cleanedURL);
        })) {
        return;
    }
    const std::optional<std::string> text = readClipboard();
    if (!text || *text != textBlockState_->output) {
        shareLinkResolutionError_.set(std::string(clipboardChangedMessage));
        return;
    }
    auto run = std::make_shared<TextBlockResolution>(
        TextBlockResolution{.start = *textBlockState_,
                            .startCount = pasteboard_->changeCount(),
                            .working = textBlockState_->results,
                            .changed = {},
                            .failed = false,
                            .next = 0});
    isResolvingShareLink_.set(true);
    shareLinkResolutionError_.set(std::nullopt);
    continueTextBlockResolution(run);
}

void ClipboardMonitor::continueTextBlockResolution(
    const std::shared_ptr<TextBlockResolution>& run) {
    while (run->next < run->working.size()) {
        if (pasteboard_->changeCount() != run->startCount) {
            break;
        }
        const std::size_t index = run->next++;
        const std::optional<CleanResult>& result = run->working[index];
        if (!result || !ShareLinkResolutionPolicy::service(result->cleanedURL)) {
            continue;
        }
        resolveInBackground(result->cleanedURL, [this, run, index](ShareLinkAnswer answer) {
            if (pasteboard_->changeCount() != run->startCount) {
                finishTextBlockResolution(run);
                return;
            }
            if (answer.resolved) {
                CleanResult resolved = urlCleaner_->resultAfterNetworkResolution(
                    run->working[index]->originalURL, answer.resolved->canonicalURL,
                    answer.resolved->contactedHost, run->working[index]);
                run->changed.push_back(resolved);
                run->working[index] = std::move(resolved);
            } else {
                // The link keeps its locally cleaned form; the reason is not shown
                // per link.
                run->failed = true;
            }
            continueTextBlockResolution(run);
        });
        return;
    }
    finishTextBlockResolution(run);
}

void ClipboardMonitor::finishTextBlockResolution(const std::shared_ptr<TextBlockResolution>& run) {
    if (pasteboard_->changeCount() != run->startCount) {
        shareLinkResolutionError_.set(std::string(clipboardChangedMessage));
        isResolvingShareLink_.set(false);
        return;
    }
    std::string output = blockOutput(run->start.block, run->working);
    if (output != run->start.output) {
        writeBack(output);
        for (const CleanResult& result : run->changed) {
            recordCleanedResult(result);
        }
        recordTextBlockClean(run->start.block.text(), run->working);
    }
    textBlockState_ =
        TextBlockState{std::move(run->start.block), std::move(run->working), std::move(output)};
    const BlockResults& results = textBlockState_->results;
    const auto pending = std::find_if(results.begin(), results.end(), [](const auto& r) {
        return r && ShareLinkResolutionPolicy::needsResolution(r->cleanedURL);
    });
    if (pending != results.end()) {
        presentPendingShareLinkResult(**pending);
    }
    if (run->failed) {
        shareLinkResolutionError_.set(std::string(someLinksUnresolvedMessage));
    }
    isResolvingShareLink_.set(false);
}

}  // namespace scourlet
