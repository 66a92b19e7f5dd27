#include "ScourletCore/platform/Regex.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

#include "ScourletCore/platform/internal/IcuPatternSyntax.h"
#include "ScourletCore/platform/internal/Utf8Codec.h"

namespace scourlet {

namespace {

// Limits of one match attempt (one start position). PCRE2 counts its match
// limit afresh at every start position, so these alone do not bound a search
// of a long subject; the time budget below does.
constexpr std::uint32_t kMatchLimit = 5'000'000;    // ~10 ms with JIT
constexpr std::uint32_t kDepthLimit = 1'000'000;    // backtracking frames
constexpr std::uint32_t kHeapLimitKiB = 64 * 1024;  // interpreter frames
// A group repeated once per byte of a 64 KiB subject needs a few MiB of JIT
// stack; beyond this the attempt is retried by the interpreter under the heap
// limit instead of failing.
constexpr std::size_t kJitStackStartBytes = 32 * 1024;
constexpr std::size_t kJitStackMaxBytes = 4 * 1024 * 1024;

// Unanchored patterns start with a callout that PCRE2 runs at every start
// position it tries; it checks the clock every few attempts so that the check
// costs almost nothing on ordinary subjects.
constexpr std::string_view kStartCallout = "(?C1)";
constexpr std::uint32_t kAttemptsPerClockCheck = 16;
constexpr auto kSearchTimeBudget = std::chrono::milliseconds(200);

struct CompileContextDeleter {
    void operator()(pcre2_compile_context* context) const { pcre2_compile_context_free(context); }
};

pcre2_compile_context* compileContext() {
    // Any Unicode line break ends a line for "$" and ".", as ICU's line
    // terminators do.
    static const std::unique_ptr<pcre2_compile_context, CompileContextDeleter> context = [] {
        std::unique_ptr<pcre2_compile_context, CompileContextDeleter> created(
            pcre2_compile_context_create(nullptr));
        if (created) {
            pcre2_set_newline(created.get(), PCRE2_NEWLINE_ANY);
        }
        return created;
    }();
    return context.get();
}

bool jitAvailable() {
    static const bool available = [] {
        std::uint32_t jit = 0;
        return pcre2_config(PCRE2_CONFIG_JIT, &jit) >= 0 && jit != 0;
    }();
    return available;
}

// The time budget in force on this thread (RegexTimeBudget), if any.
struct ThreadBudget {
    std::chrono::steady_clock::time_point deadline;
    bool active = false;
    bool exhausted = false;
    std::uint32_t searches = 0;  // since the clock was last read
};

// Reading the clock costs as much as a short search, so a search reads it only
// every few searches; a long one also reads it every few start positions
// (onMatchAttempt) and when it hits a step limit.
constexpr std::uint32_t kSearchesPerClockCheck = 8;

// Constant-initialized, so that reaching it costs no guard on every search.
thread_local ThreadBudget tThreadBudget;

ThreadBudget& threadBudget() {
    return tThreadBudget;
}

// False once the thread's budget is used up (reading the clock to find out).
bool withinThreadBudget(std::chrono::steady_clock::time_point now) {
    ThreadBudget& budget = threadBudget();
    if (!budget.active) {
        return true;
    }
    if (!budget.exhausted && now > budget.deadline) {
        budget.exhausted = true;
    }
    return !budget.exhausted;
}

bool withinThreadBudget() {
    const ThreadBudget& budget = threadBudget();
    if (!budget.active) {
        return true;
    }
    return !budget.exhausted && withinThreadBudget(std::chrono::steady_clock::now());
}

// As above, reading the clock only every kSearchesPerClockCheck calls.
bool withinThreadBudgetAtSearchStart() {
    ThreadBudget& budget = threadBudget();
    if (!budget.active) {
        return true;
    }
    if (budget.exhausted) {
        return false;
    }
    if (++budget.searches < kSearchesPerClockCheck) {
        return true;
    }
    budget.searches = 0;
    return withinThreadBudget(std::chrono::steady_clock::now());
}

// The search state of one call (matches, firstMatch, a whole replaceAll...).
struct SearchBudget {
    std::uint32_t attempts = 0;
    std::optional<std::chrono::steady_clock::time_point> started;
};

int onMatchAttempt(pcre2_callout_block* /*block*/, void* data) {
    auto& budget = *static_cast<SearchBudget*>(data);
    if (++budget.attempts % kAttemptsPerClockCheck != 0) {
        return 0;
    }
    // The clock starts at the first check rather than at the call, so a search
    // that tries few start positions never reads it.
    const auto now = std::chrono::steady_clock::now();
    if (!withinThreadBudget(now)) {
        return PCRE2_ERROR_CALLOUT;
    }
    if (!budget.started) {
        budget.started = now;
        return 0;
    }
    return now - *budget.started > kSearchTimeBudget ? PCRE2_ERROR_CALLOUT : 0;
}

// Per-thread match data, context and JIT stack, reused by every call so that
// matching does not allocate. Regex objects are shared between threads; these
// are not.
class MatchScratch {
public:
    MatchScratch() {
        context_ = pcre2_match_context_create(nullptr);
        if (context_ == nullptr) {
            return;
        }
        pcre2_set_match_limit(context_, kMatchLimit);
        pcre2_set_depth_limit(context_, kDepthLimit);
        pcre2_set_heap_limit(context_, kHeapLimitKiB);
        if (jitAvailable()) {
            jitStack_ = pcre2_jit_stack_create(kJitStackStartBytes, kJitStackMaxBytes, nullptr);
            if (jitStack_ != nullptr) {
                pcre2_jit_stack_assign(context_, nullptr, jitStack_);
            }
        }
    }
    ~MatchScratch() {
        pcre2_match_data_free(data_);
        pcre2_jit_stack_free(jitStack_);
        pcre2_match_context_free(context_);
    }
    MatchScratch(const MatchScratch&) = delete;
    MatchScratch& operator=(const MatchScratch&) = delete;

    pcre2_match_context* context() const { return context_; }

    // Match data with room for at least `pairs` offset pairs; null when out of memory.
    pcre2_match_data* data(std::uint32_t pairs) {
        if (pairs > capacity_ || data_ == nullptr) {
            pcre2_match_data_free(data_);
            capacity_ = std::max(pairs, capacity_);
            data_ = pcre2_match_data_create(capacity_, nullptr);
        }
        return data_;
    }

private:
    pcre2_match_context* context_ = nullptr;
    pcre2_jit_stack* jitStack_ = nullptr;
    pcre2_match_data* data_ = nullptr;
    std::uint32_t capacity_ = 16;
};

MatchScratch& matchScratch() {
    thread_local MatchScratch scratch;
    return scratch;
}

std::size_t characterLengthAt(std::string_view text, std::size_t pos) {
    return internal::decodeUtf8At(text, pos).size;
}

}  // namespace

struct Regex::Compiled {
    Compiled(pcre2_code* compiledCode, std::string_view source, RegexOptions compileOptions)
        : code(compiledCode), pattern(source), options(compileOptions) {
        std::uint32_t groups = 0;
        pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &groups);
        captureCount = groups;
        std::uint32_t allOptions = 0;
        pcre2_pattern_info(code, PCRE2_INFO_ALLOPTIONS, &allOptions);
        anchored = (allOptions & PCRE2_ANCHORED) != 0;
    }
    ~Compiled() { pcre2_code_free(code); }
    Compiled(const Compiled&) = delete;
    Compiled& operator=(const Compiled&) = delete;

    // Compiles the pattern to machine code before its first search. Loading a
    // rule set compiles a thousand patterns of which a link uses a few dozen,
    // and the JIT step costs several times the compile itself; a pattern the
    // JIT cannot take still runs in the interpreter.
    void prepare() const {
        if (jitReady.load(std::memory_order_acquire) || !jitAvailable()) {
            return;
        }
        std::call_once(jitOnce, [this] {
            pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
            jitReady.store(true, std::memory_order_release);
        });
    }

    pcre2_code* code;
    std::string pattern;
    RegexOptions options;
    std::uint32_t captureCount = 0;
    // Only one start position is ever tried, so the attempt limits suffice.
    bool anchored = false;
    // ".*" matches (the empty text at least) at the start of every subject,
    // even one that is not UTF-8, so a test needs no search. Rule sets use it
    // for providers that apply to every link.
    bool matchesEverySubject = pattern == ".*" || pattern == ".*?";
    mutable std::once_flag jitOnce;
    mutable std::atomic<bool> jitReady{false};
};

namespace {

enum class SearchOutcome { match, noMatch, limitHit };

// Runs the searches of one call over one subject, sharing one time budget.
class Searcher {
public:
    Searcher(const Regex::Compiled& compiled, std::string_view subject)
        : compiled_(compiled), subject_(subject), scratch_(matchScratch()) {
        compiled.prepare();
        data_ = scratch_.data(compiled.captureCount + 1);
    }

    // Searches from byte `offset` on; after a match, ovector() holds its offsets.
    SearchOutcome find(std::size_t offset) {
        pcre2_match_context* context = scratch_.context();
        if (data_ == nullptr || context == nullptr || !withinThreadBudgetAtSearchStart()) {
            return SearchOutcome::limitHit;
        }
        if (compiled_.anchored) {
            pcre2_set_callout(context, nullptr, nullptr);
        } else {
            pcre2_set_callout(context, onMatchAttempt, &budget_);
        }
        const auto* text = reinterpret_cast<PCRE2_SPTR>(subject_.data());
        int rc = pcre2_match(compiled_.code, text, subject_.size(), offset, 0, data_, context);
        if (rc == PCRE2_ERROR_JIT_STACKLIMIT) {
            rc = pcre2_match(compiled_.code, text, subject_.size(), offset, PCRE2_NO_JIT, data_,
                             context);
        }
        if (rc == PCRE2_ERROR_NOMATCH) {
            return SearchOutcome::noMatch;
        }
        if (rc <= 0) {
            withinThreadBudget();  // a long attempt may have used the budget up
            return SearchOutcome::limitHit;
        }
        const PCRE2_SIZE* offsets = pcre2_get_ovector_pointer(data_);
        // \K can move a match's start past its end or before the search offset;
        // such a match cannot be replaced in order, so the search stops there.
        if (offsets[0] < offset || offsets[1] < offsets[0]) {
            return SearchOutcome::limitHit;
        }
        return SearchOutcome::match;
    }

    ByteRange matchRange() const {
        const PCRE2_SIZE* offsets = pcre2_get_ovector_pointer(data_);
        return {offsets[0], offsets[1]};
    }

    std::optional<ByteRange> groupRange(std::size_t group) const {
        const PCRE2_SIZE* offsets = pcre2_get_ovector_pointer(data_);
        if (offsets[2 * group] == PCRE2_UNSET) {
            return std::nullopt;
        }
        return ByteRange{offsets[2 * group], offsets[2 * group + 1]};
    }

    RegexMatch currentMatch() const {
        RegexMatch match;
        match.ranges.reserve(compiled_.captureCount + 1);
        for (std::size_t group = 0; group <= compiled_.captureCount; ++group) {
            match.ranges.push_back(groupRange(group));
        }
        return match;
    }

    // Calls `onMatch(searcher)` for each match in order, with ICU's rule for
    // empty matches: the next search starts one character after an empty match,
    // and right at the end of a non-empty one. Returns false when a limit cut
    // the enumeration short; `onMatch` returns false to stop early.
    template <class OnMatch>
    bool forEachMatch(OnMatch&& onMatch) {
        std::size_t offset = 0;
        while (offset <= subject_.size()) {
            const SearchOutcome outcome = find(offset);
            if (outcome == SearchOutcome::noMatch) {
                return true;
            }
            if (outcome == SearchOutcome::limitHit) {
                return false;
            }
            if (!onMatch(*this)) {
                return true;
            }
            const auto [start, end] = matchRange();
            if (start == end) {
                if (end >= subject_.size()) {
                    return true;
                }
                offset = end + characterLengthAt(subject_, end);
            } else {
                offset = end;
            }
        }
        return true;
    }

private:
    const Regex::Compiled& compiled_;
    std::string_view subject_;
    MatchScratch& scratch_;
    pcre2_match_data* data_ = nullptr;
    SearchBudget budget_;
};

// A replacement template split into literal text and group references.
class ReplacementTemplate {
public:
    ReplacementTemplate(std::string_view source, std::size_t captureCount) {
        literals_.reserve(source.size());
        std::size_t i = 0;
        while (i < source.size()) {
            const char c = source[i];
            if (c == '\\') {
                if (i + 1 >= source.size()) {
                    break;  // a trailing backslash escapes nothing and is dropped
                }
                const std::size_t length = characterLengthAt(source, i + 1);
                literals_.append(source.substr(i + 1, length));
                i += 1 + length;
            } else if (c == '$' && i + 1 < source.size() && isDigit(source[i + 1])) {
                std::size_t group = static_cast<std::size_t>(source[i + 1] - '0');
                i += 2;
                while (i < source.size() && isDigit(source[i])) {
                    const std::size_t longer =
                        group * 10 + static_cast<std::size_t>(source[i] - '0');
                    if (longer > captureCount) {
                        break;
                    }
                    group = longer;
                    ++i;
                }
                closeLiteral();
                pieces_.push_back({0, 0, group});
            } else {
                literals_.push_back(c);
                ++i;
            }
        }
        closeLiteral();
    }

    // Appends the replacement for the searcher's current match.
    void append(std::string& out, const Searcher& searcher, std::string_view subject,
                std::size_t captureCount) const {
        for (const Piece& piece : pieces_) {
            if (piece.group == kLiteral) {
                out.append(literals_, piece.begin, piece.end - piece.begin);
            } else if (piece.group <= captureCount) {
                if (const auto range = searcher.groupRange(piece.group)) {
                    out.append(subject.substr(range->first, range->second - range->first));
                }
            }
        }
    }

private:
    static constexpr std::size_t kLiteral = static_cast<std::size_t>(-1);
    struct Piece {
        std::size_t begin;
        std::size_t end;
        std::size_t group;  // kLiteral: literals_[begin, end)
    };

    static bool isDigit(char c) { return c >= '0' && c <= '9'; }

    void closeLiteral() {
        if (literals_.size() > literalStart_) {
            pieces_.push_back({literalStart_, literals_.size(), kLiteral});
            literalStart_ = literals_.size();
        }
    }

    std::string literals_;
    std::size_t literalStart_ = 0;
    std::vector<Piece> pieces_;
};

template <class AppendReplacement>
std::string replaceMatches(const Regex::Compiled& compiled, std::string_view subject,
                           AppendReplacement&& appendReplacement) {
    Searcher searcher(compiled, subject);
    std::string out;
    std::size_t copiedUpTo = 0;
    bool reserved = false;
    searcher.forEachMatch([&](const Searcher& current) {
        if (!reserved) {
            out.reserve(subject.size());
            reserved = true;
        }
        const auto [start, end] = current.matchRange();
        out.append(subject.substr(copiedUpTo, start - copiedUpTo));
        appendReplacement(out, current);
        copiedUpTo = end;
        return true;
    });
    out.append(subject.substr(copiedUpTo));
    return out;
}

}  // namespace

std::optional<Regex> Regex::compile(std::string_view pattern, RegexOptions options) {
    const std::optional<std::string> translated = internal::translateIcuPattern(pattern);
    if (!translated) {
        return std::nullopt;
    }
    std::string program;
    program.reserve(kStartCallout.size() + translated->size());
    program.append(kStartCallout);
    program.append(*translated);

    std::uint32_t flags = PCRE2_UTF | PCRE2_UCP | PCRE2_MATCH_INVALID_UTF;
    if (options == RegexOptions::caseInsensitive) {
        flags |= PCRE2_CASELESS;
    }
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(program.data()), program.size(),
                                     flags, &errorCode, &errorOffset, compileContext());
    if (code == nullptr) {
        return std::nullopt;
    }
    return Regex(std::make_shared<const Compiled>(code, pattern, options));
}

std::string Regex::escapedPattern(std::string_view text) {
    static constexpr std::string_view kMetacharacters = "\\^$.|?*+()[]{}-/#";
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (const char c : text) {
        if (kMetacharacters.find(c) != std::string_view::npos) {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    return out;
}

bool Regex::matches(std::string_view subject) const {
    if (compiled_->matchesEverySubject && !threadBudget().exhausted) {
        return true;
    }
    Searcher searcher(*compiled_, subject);
    return searcher.find(0) == SearchOutcome::match;
}

RegexAnswer Regex::test(std::string_view subject) const {
    if (compiled_->matchesEverySubject && !threadBudget().exhausted) {
        return RegexAnswer::match;
    }
    Searcher searcher(*compiled_, subject);
    switch (searcher.find(0)) {
        case SearchOutcome::match:
            return RegexAnswer::match;
        case SearchOutcome::noMatch:
            return RegexAnswer::noMatch;
        case SearchOutcome::limitHit:
            break;
    }
    return RegexAnswer::undecided;
}

std::optional<RegexMatch> Regex::firstMatch(std::string_view subject) const {
    Searcher searcher(*compiled_, subject);
    if (searcher.find(0) != SearchOutcome::match) {
        return std::nullopt;
    }
    return searcher.currentMatch();
}

std::vector<RegexMatch> Regex::allMatches(std::string_view subject) const {
    std::vector<RegexMatch> found;
    Searcher searcher(*compiled_, subject);
    searcher.forEachMatch([&](const Searcher& current) {
        found.push_back(current.currentMatch());
        return true;
    });
    return found;
}

std::string Regex::replaceAll(std::string_view subject,
                              std::string_view replacementTemplate) const {
    if (replacementTemplate.find_first_of("$\\") == std::string_view::npos) {
        return replaceAllLiteral(subject, replacementTemplate);
    }
    const std::size_t captureCount = compiled_->captureCount;
    const ReplacementTemplate parsed(replacementTemplate, captureCount);
    return replaceMatches(*compiled_, subject, [&](std::string& out, const Searcher& current) {
        parsed.append(out, current, subject, captureCount);
    });
}

std::string Regex::replaceAllLiteral(std::string_view subject, std::string_view replacement) const {
    return replaceMatches(*compiled_, subject, [&](std::string& out, const Searcher& /*current*/) {
        out.append(replacement);
    });
}

std::size_t Regex::numberOfCaptureGroups() const {
    return compiled_->captureCount;
}

const std::string& Regex::pattern() const {
    return compiled_->pattern;
}

RegexOptions Regex::options() const {
    return compiled_->options;
}

RegexTimeBudget::RegexTimeBudget(std::chrono::steady_clock::duration limit) {
    ThreadBudget& budget = threadBudget();
    previousDeadline_ = budget.deadline;
    previousActive_ = budget.active;
    previousExhausted_ = budget.exhausted;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    if (!budget.active || deadline < budget.deadline) {
        budget.deadline = deadline;
    }
    budget.active = true;
}

RegexTimeBudget::~RegexTimeBudget() {
    ThreadBudget& budget = threadBudget();
    // The outer budget is used up too when this one ran into the outer deadline.
    const bool outerExhausted =
        previousExhausted_ ||
        (previousActive_ && budget.exhausted && budget.deadline == previousDeadline_);
    budget.deadline = previousDeadline_;
    budget.active = previousActive_;
    budget.exhausted = outerExhausted;
}

bool RegexTimeBudget::exhausted() const {
    return threadBudget().exhausted;
}

}  // namespace scourlet
