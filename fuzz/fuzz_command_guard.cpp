// Command Guard with the shipped rules: findings come sorted and at or above
// the threshold; every line of a neutralized copy is a comment without any
// character a terminal would act on; a neutralized copy is never flagged.
#include <algorithm>
#include <string>

#include "FuzzSupport.h"
#include "ScourletCore/clipboard/CommandGuard.h"

namespace {

using namespace scourlet;

const CommandGuard& shippedGuard() {
    static const CommandGuard guard(fuzz::shippedResources(),
                                    std::filesystem::path("/nonexistent/command-guard-rules.json"));
    return guard;
}

// A line a terminal runs as a comment only: it starts with "#" and holds no
// control character but tab, and no other line break (NEL, U+2028, U+2029).
bool isInertComment(std::string_view line) {
    if (line.empty() || line.front() != '#') {
        return false;
    }
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto byte = static_cast<unsigned char>(line[i]);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7F) {
            return false;
        }
        const auto next = i + 1 < line.size() ? static_cast<unsigned char>(line[i + 1]) : 0;
        if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            return false;
        }
        if (byte == 0xE2 && next == 0x80 && i + 2 < line.size() &&
            (static_cast<unsigned char>(line[i + 2]) == 0xA8 ||
             static_cast<unsigned char>(line[i + 2]) == 0xA9)) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size == 0 || size > 8192) {
        return 0;
    }
    const auto threshold = static_cast<CommandRiskSeverity>(data[0] % 3);
    const std::string_view text = fuzz::asText(data + 1, size - 1);
    const CommandGuard& guard = shippedGuard();

    if (const auto risk = guard.analyze(text, threshold)) {
        FUZZ_CHECK(!risk->findings.empty());
        FUZZ_CHECK(
            std::is_sorted(risk->findings.begin(), risk->findings.end(), precedesInFindingOrder));
        FUZZ_CHECK(risk->severity == risk->findings.front().severity);
        for (const auto& finding : risk->findings) {
            FUZZ_CHECK(finding.severity >= threshold);
        }
    }

    const std::string copy = CommandGuard::neutralizedCommand(text);
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = copy.find('\n', start);
        FUZZ_CHECK(isInertComment(std::string_view(copy).substr(start, end - start)));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    FUZZ_CHECK(!guard.analyze(copy, CommandRiskSeverity::info).has_value());
    return 0;
}
