// The URL layer: a strict parse gives its input back byte for byte, a lenient
// parse gives a URL that parses strictly, and every mutator, whether it
// succeeds or refuses, leaves a URL that parses strictly to the same thing.
#include <fuzzer/FuzzedDataProvider.h>

#include <optional>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "ScourletCore/platform/URLComponents.h"

namespace {

using scourlet::URLComponents;
using scourlet::URLQueryItem;

void checkValid(const URLComponents& url) {
    const auto reparsed = URLComponents::parse(url.string());
    FUZZ_CHECK(reparsed.has_value());
    FUZZ_CHECK(reparsed->string() == url.string());
    FUZZ_CHECK(*reparsed == url);
}

std::optional<std::string> optionalText(FuzzedDataProvider& input) {
    if (input.ConsumeBool()) {
        return std::nullopt;
    }
    return input.ConsumeRandomLengthString(64);
}

std::optional<std::vector<URLQueryItem>> items(FuzzedDataProvider& input) {
    if (input.ConsumeBool()) {
        return std::nullopt;
    }
    std::vector<URLQueryItem> list(input.ConsumeIntegralInRange<std::size_t>(0, 4));
    for (auto& item : list) {
        item.name = input.ConsumeRandomLengthString(16);
        item.value = optionalText(input);
    }
    return list;
}

void mutate(URLComponents& url, FuzzedDataProvider& input) {
    switch (input.ConsumeIntegralInRange(0, 12)) {
        case 0:
            (void)url.setScheme(optionalText(input));
            break;
        case 1:
            (void)url.setPercentEncodedHost(optionalText(input));
            break;
        case 2:
            url.lowercaseHost();
            break;
        case 3:
            (void)url.setPort(input.ConsumeBool()
                                  ? std::nullopt
                                  : std::optional<int>(input.ConsumeIntegral<int>()));
            break;
        case 4:
            url.removeUserInfo();
            break;
        case 5:
            (void)url.setPercentEncodedPath(input.ConsumeRandomLengthString(64));
            break;
        case 6:
            (void)url.setPath(input.ConsumeRandomLengthString(64));
            break;
        case 7:
            (void)url.setPercentEncodedQuery(optionalText(input));
            break;
        case 8:
            url.setQueryItems(items(input));
            break;
        case 9:
            (void)url.setPercentEncodedQueryItems(items(input));
            break;
        case 10:
            (void)url.setPercentEncodedFragment(optionalText(input));
            break;
        case 11:
            url.removeFragment();
            break;
        default:
            // The items read back and written again.
            url.setQueryItems(url.queryItems());
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string text = input.ConsumeRandomLengthString(512);

    if (const auto strict = URLComponents::parse(text)) {
        FUZZ_CHECK(strict->string() == text);
        (void)strict->queryItems();
        (void)strict->host();
        (void)strict->port();
    }
    auto url = URLComponents::parseLenient(text);
    if (!url) {
        return 0;
    }
    checkValid(*url);
    while (input.remaining_bytes() > 0) {
        mutate(*url, input);
        checkValid(*url);
    }
    return 0;
}
