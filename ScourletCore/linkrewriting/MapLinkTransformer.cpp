#include "ScourletCore/linkrewriting/MapLinkTransformer.h"

#include <charconv>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "ScourletCore/config/ServiceConfiguration.h"
#include "ScourletCore/platform/PercentEncoding.h"
#include "ScourletCore/platform/Text.h"
#include "ScourletCore/platform/URLComponents.h"

namespace scourlet {

namespace {

// The valued query items of a link, first valued occurrence of each name.
class QueryDictionary {
public:
    explicit QueryDictionary(const URLComponents& url) {
        const auto items = url.queryItems();
        if (!items) {
            return;
        }
        for (const URLQueryItem& item : *items) {
            if (item.value && !find(item.name)) {
                entries_.emplace_back(item.name, *item.value);
            }
        }
    }

    bool empty() const { return entries_.empty(); }

    const std::string* find(std::string_view name) const {
        for (const auto& [key, value] : entries_) {
            if (key == name) {
                return &value;
            }
        }
        return nullptr;
    }

    bool keysWithin(std::initializer_list<std::string_view> allowed) const {
        for (const auto& entry : entries_) {
            bool known = false;
            for (const std::string_view name : allowed) {
                known = known || entry.first == name;
            }
            if (!known) {
                return false;
            }
        }
        return true;
    }

private:
    std::vector<std::pair<std::string, std::string>> entries_;
};

bool isTrimmedNonEmpty(const std::string* value) {
    return value != nullptr && !trimmingWhitespaceAndNewlines(*value).empty();
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A finite number written in plain decimal: an optional sign, digits with an
// optional fraction (at least one digit in all), an optional exponent. No
// "nan", "inf", hexadecimal or blanks; the reading does not depend on the
// C locale.
std::optional<double> decimalNumber(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        const std::size_t exponentStart = i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
        }
        if (i == exponentStart) {
            return std::nullopt;
        }
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    // from_chars takes no "+"; it refuses a value beyond the double range.
    const std::string_view number = text.front() == '+' ? text.substr(1) : text;
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value,
                                              std::chars_format::general);
    if (error != std::errc() || end != number.data() + number.size()) {
        return std::nullopt;
    }
    return value;
}

// "lat,lng": trimmed, exactly two pieces, each a decimal number as it stands.
std::optional<std::string> coordinateText(std::string_view value) {
    const std::string_view trimmed = trimmingWhitespaceAndNewlines(value);
    const std::size_t comma = trimmed.find(',');
    if (trimmed.empty() || comma == std::string_view::npos ||
        trimmed.find(',', comma + 1) != std::string_view::npos) {
        return std::nullopt;
    }
    if (!decimalNumber(trimmed.substr(0, comma)) || !decimalNumber(trimmed.substr(comma + 1))) {
        return std::nullopt;
    }
    return std::string(trimmed);
}

// A zoom level from 0 to 22, trimmed.
std::optional<std::string> zoomText(std::string_view value) {
    const std::string_view trimmed = trimmingWhitespaceAndNewlines(value);
    const std::optional<double> zoom = decimalNumber(trimmed);
    if (!zoom || *zoom < 0 || *zoom > 22) {
        return std::nullopt;
    }
    return std::string(trimmed);
}

std::optional<std::string_view> googleTravelMode(std::string_view appleFlag) {
    if (appleFlag == "d") {
        return "driving";
    }
    if (appleFlag == "w") {
        return "walking";
    }
    if (appleFlag == "r") {
        return "transit";
    }
    return std::nullopt;
}

std::optional<std::string_view> appleTravelFlag(std::string_view googleMode) {
    const std::string mode = asciiLowercased(googleMode);
    if (mode == "driving") {
        return "d";
    }
    if (mode == "walking") {
        return "w";
    }
    if (mode == "transit") {
        return "r";
    }
    return std::nullopt;
}

// The parts of a converted link before it is put together.
struct NewLink {
    std::string path;  // percent-encoded
    std::optional<std::vector<URLQueryItem>> items;
};

// A search text as one path segment: "/" is escaped too, so the text cannot
// become two segments (and "%", "?" and "#" are escaped by the path set).
std::optional<std::string> pathSegment(std::string_view text) {
    std::string segment = percentEncode(text, PercentEncodeSet::urlPathAllowed.removing("/"));
    // A segment of dots would be folded away with its parent by any URL parser.
    if (segment == "." || segment == "..") {
        return std::nullopt;
    }
    return segment;
}

std::optional<NewLink> appleToGoogle(const QueryDictionary& query) {
    if (query.empty()) {
        return std::nullopt;
    }
    // Directions.
    if (const std::string* destination = query.find("daddr"); isTrimmedNonEmpty(destination)) {
        if (!query.keysWithin({"saddr", "daddr", "dirflg"})) {
            return std::nullopt;
        }
        std::optional<std::string_view> mode;
        if (const std::string* flag = query.find("dirflg")) {
            mode = googleTravelMode(*flag);
            if (!mode) {
                return std::nullopt;
            }
        }
        std::vector<URLQueryItem> items{{"api", "1"}};
        if (const std::string* origin = query.find("saddr"); isTrimmedNonEmpty(origin)) {
            items.push_back({"origin", *origin});
        }
        items.push_back({"destination", *destination});
        if (mode) {
            items.push_back({"travelmode", std::string(*mode)});
        }
        return NewLink{"/maps/dir/", std::move(items)};
    }
    // A place by its coordinates.
    const std::string* ll = query.find("ll");
    if (const std::optional<std::string> coordinates = ll ? coordinateText(*ll) : std::nullopt) {
        if (!query.keysWithin({"q", "ll", "z"})) {
            return std::nullopt;
        }
        const std::string* search = query.find("q");
        if (!isTrimmedNonEmpty(search)) {
            search = nullptr;
        }
        std::optional<std::string> zoom;
        if (const std::string* z = query.find("z")) {
            zoom = zoomText(*z);
            if (!zoom) {
                return std::nullopt;
            }
        }
        if (search && zoom) {
            const std::optional<std::string> segment = pathSegment(*search);
            if (!segment) {
                return std::nullopt;
            }
            return NewLink{"/maps/search/" + *segment + "/@" + *coordinates + "," + *zoom + "z",
                           std::nullopt};
        }
        const std::string value = search ? *search + " " + *coordinates : *coordinates;
        return NewLink{"/maps/search/", std::vector<URLQueryItem>{{"api", "1"}, {"query", value}}};
    }
    // A search.
    const std::string* q = query.find("q");
    const std::string* value = q ? q : query.find("address");
    if (!isTrimmedNonEmpty(value) || !query.keysWithin({"q", "address"}) ||
        (q && query.find("address"))) {
        return std::nullopt;
    }
    return NewLink{"/maps/search/", std::vector<URLQueryItem>{{"api", "1"}, {"query", *value}}};
}

// The pieces of the path between "/", empty ones dropped, each decoded on its
// own so that an escaped "/" stays inside its piece.
std::vector<std::string> decodedPathPieces(std::string_view path) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string_view::npos) {
            slash = path.size();
        }
        const std::string_view piece = path.substr(start, slash - start);
        if (!piece.empty()) {
            pieces.push_back(percentDecode(piece).value_or(std::string(piece)));
        }
        start = slash + 1;
    }
    return pieces;
}

// "/maps/search/<text>/@<lat>,<lng>,<zoom>z": the search text, coordinates and zoom.
struct SearchPath {
    std::string text;
    std::string coordinates;
    std::string zoom;
};

std::optional<SearchPath> googleSearchPath(std::string_view percentEncodedPath) {
    const std::vector<std::string> pieces = decodedPathPieces(percentEncodedPath);
    if (pieces.size() != 4 || pieces[0] != "maps" || pieces[1] != "search" ||
        !pieces[3].starts_with('@')) {
        return std::nullopt;
    }
    std::vector<std::string_view> parts;
    const std::string_view place = std::string_view(pieces[3]).substr(1);
    std::size_t start = 0;
    while (start <= place.size()) {
        std::size_t comma = place.find(',', start);
        if (comma == std::string_view::npos) {
            comma = place.size();
        }
        if (comma > start) {
            parts.push_back(place.substr(start, comma - start));
        }
        start = comma + 1;
    }
    if (parts.size() != 3 || !parts[2].ends_with('z')) {
        return std::nullopt;
    }
    const auto coordinates = coordinateText(std::string(parts[0]) + "," + std::string(parts[1]));
    const auto zoom = zoomText(parts[2].substr(0, parts[2].size() - 1));
    if (!coordinates || !zoom) {
        return std::nullopt;
    }
    return SearchPath{pieces[2], *coordinates, *zoom};
}

std::optional<NewLink> googleToApple(const URLComponents& url, const QueryDictionary& query) {
    if (query.find("query_place_id")) {
        return std::nullopt;
    }
    const std::string* api = query.find("api");
    // Directions.
    const std::string path = url.path();
    const std::string* destination = query.find("destination");
    if ((path == "/maps/dir" || path == "/maps/dir/") && isTrimmedNonEmpty(destination)) {
        if (!query.keysWithin({"api", "origin", "destination", "travelmode"}) ||
            (api && *api != "1")) {
            return std::nullopt;
        }
        std::optional<std::string_view> flag;
        if (const std::string* mode = query.find("travelmode")) {
            flag = appleTravelFlag(*mode);
            if (!flag) {
                return std::nullopt;
            }
        }
        std::vector<URLQueryItem> items;
        if (const std::string* origin = query.find("origin"); isTrimmedNonEmpty(origin)) {
            items.push_back({"saddr", *origin});
        }
        items.push_back({"daddr", *destination});
        if (flag) {
            items.push_back({"dirflg", std::string(*flag)});
        }
        return NewLink{"/", std::move(items)};
    }
    // A search path with the place in it.
    if (std::optional<SearchPath> search = googleSearchPath(url.percentEncodedPath())) {
        if (!query.empty()) {
            return std::nullopt;
        }
        return NewLink{"/", std::vector<URLQueryItem>{{"q", std::move(search->text)},
                                                      {"ll", std::move(search->coordinates)},
                                                      {"z", std::move(search->zoom)}}};
    }
    // A search in the query.
    const std::string* value = query.find("query");
    if (!isTrimmedNonEmpty(value) || !query.keysWithin({"api", "query"}) || (api && *api != "1")) {
        return std::nullopt;
    }
    const char* name = coordinateText(*value) ? "ll" : "q";
    return NewLink{"/", std::vector<URLQueryItem>{{name, *value}}};
}

bool isGoogleHost(std::string_view host) {
    const std::string_view domain = config::kGoogleComDomain;
    if (host == domain) {
        return true;
    }
    const std::string wwwPrefix = "www." + std::string(config::kGoogleLabel) + ".";
    if (host.starts_with(wwwPrefix)) {
        return true;
    }
    return host.size() > domain.size() && host.ends_with(domain) &&
           host[host.size() - domain.size() - 1] == '.';
}

}  // namespace

std::optional<MapLinkTransformation> MapLinkTransformer::transform(std::string_view link) {
    const std::optional<URLComponents> url = URLComponents::parse(link);
    if (!url) {
        return std::nullopt;
    }
    const std::optional<std::string_view> scheme = url->scheme();
    if (!scheme || asciiLowercased(*scheme) != "https" || url->percentEncodedUser() ||
        url->percentEncodedPassword() || url->portString()) {
        return std::nullopt;
    }
    const std::optional<std::string_view> rawHost = url->percentEncodedHost();
    if (!rawHost) {
        return std::nullopt;
    }
    const std::string host = asciiLowercased(*rawHost);

    const QueryDictionary query(*url);
    std::optional<NewLink> converted;
    MapLinkTarget target{};
    std::string newHost;
    if (host == config::kAppleMapsHost) {
        converted = appleToGoogle(query);
        target = MapLinkTarget::googleMaps;
        newHost = "www." + std::string(config::kGoogleComDomain);
    } else if (isGoogleHost(host)) {
        converted = googleToApple(*url, query);
        target = MapLinkTarget::appleMaps;
        newHost = std::string(config::kAppleMapsHost);
    }
    if (!converted) {
        return std::nullopt;
    }

    URLComponents result;
    if (!result.setScheme("https") || !result.setPercentEncodedHost(newHost) ||
        !result.setPercentEncodedPath(converted->path)) {
        return std::nullopt;
    }
    result.setQueryItems(converted->items);
    const std::string& text = result.string();
    return MapLinkTransformation{
        .target = target,
        .url = text,
        .operation = CleanOperation{
            .kind = CleanOperationKind::functionalTransformation,
            .inputURL = std::string(link),
            .outputURL = text,
            .removedParameters = {},
            .networkUsed = false,
            .contactedHost = std::nullopt,
            .note = std::string(target == MapLinkTarget::googleMaps ? openInGoogleMapsNote
                                                                    : openInAppleMapsNote)}};
}

}  // namespace scourlet
