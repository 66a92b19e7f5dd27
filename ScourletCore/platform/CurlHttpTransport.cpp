#include "ScourletCore/platform/CurlHttpTransport.h"

#include <curl/curl.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <fstream>
#include <memory>
#include <optional>
#include <stop_token>
#include <string_view>

#include "ScourletCore/platform/Text.h"

namespace scourlet {

namespace {

using SteadyClock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;
using Kind = HttpError::Kind;

// A response head larger than this is refused; libcurl caps single fields but
// not how many a server sends.
constexpr std::size_t kMaxHeadBytes = 256 * 1024;

// The longest the wait loop sleeps between looks at the clock and the stop
// token when libcurl has nothing sooner to do.
constexpr Milliseconds kLongestWait{1000};

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct MultiDeleter {
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct CurlStringDeleter {
    void operator()(char* text) const { curl_free(text); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

// libcurl must be set up once per process before the first handle. The
// function-local static makes concurrent first callers wait for that one
// set-up. It is never torn down: another thread may still be sending at exit.
bool curlReady() {
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

bool isRedirectStatus(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::optional<std::string> urlPart(CURLU* url, CURLUPart part) {
    char* text = nullptr;
    if (curl_url_get(url, part, &text, 0) != CURLUE_OK || text == nullptr) {
        return std::nullopt;
    }
    const std::unique_ptr<char, CurlStringDeleter> owned(text);
    return std::string(text);
}

// The scheme of an absolute URL, lower-cased; nothing when it is no URL.
std::optional<std::string> schemeOf(const std::string& url) {
    const UrlHandle handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(),
                                CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
        return std::nullopt;
    }
    auto scheme = urlPart(handle.get(), CURLUPART_SCHEME);
    if (scheme) {
        *scheme = asciiLowercased(*scheme);
    }
    return scheme;
}

// `location` resolved against `base` the way libcurl would follow it.
std::optional<std::string> resolveLocation(const std::string& base, const std::string& location) {
    // libcurl resolves an empty reference to the base's folder rather than to
    // the base itself; an empty Location leads nowhere useful either way.
    if (location.empty()) {
        return std::nullopt;
    }
    const UrlHandle handle(curl_url());
    if (!handle ||
        curl_url_set(handle.get(), CURLUPART_URL, base.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
            CURLUE_OK ||
        curl_url_set(handle.get(), CURLUPART_URL, location.c_str(),
                     CURLU_NON_SUPPORT_SCHEME | CURLU_URLENCODE | CURLU_ALLOW_SPACE) != CURLUE_OK) {
        return std::nullopt;
    }
    return urlPart(handle.get(), CURLUPART_URL);
}

std::string_view trimSpaces(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n')) {
        text.remove_suffix(1);
    }
    return text;
}

// The status code of a status line such as "HTTP/1.1 302 Found" or "HTTP/2 200".
std::optional<int> statusOf(std::string_view line) {
    const auto space = line.find(' ');
    if (space == std::string_view::npos || line.size() < space + 4) {
        return std::nullopt;
    }
    int status = 0;
    const char* first = line.data() + space + 1;
    const auto [end, ec] = std::from_chars(first, first + 3, status);
    if (ec != std::errc() || end != first + 3) {
        return std::nullopt;
    }
    return status;
}

HttpError makeError(Kind kind, std::string message, const std::string& url) {
    return HttpError{kind, std::move(message), url};
}

Kind kindOf(CURLcode code) {
    switch (code) {
        case CURLE_UNSUPPORTED_PROTOCOL:
            return Kind::schemeNotAllowed;
        case CURLE_URL_MALFORMAT:
            return Kind::invalidRequest;
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT:
            return Kind::connectionFailed;
        case CURLE_OPERATION_TIMEDOUT:
            return Kind::connectTimeout;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_USE_SSL_FAILED:
        case CURLE_SSL_ENGINE_INITFAILED:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_SHUTDOWN_FAILED:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_CLIENTCERT:
            return Kind::tlsFailure;
        default:
            return Kind::transferFailed;
    }
}

// Everything one request receives, and the one place that stops its transfer:
// the libcurl callbacks hand it each head line and body chunk, the wait loop
// hands it the time and the stop token, and whichever first meets a limit
// records why the transfer stopped.
class Receiver {
public:
    enum class Ending {
        running,
        headComplete,    // final head in and the body is not wanted
        followRedirect,  // the caller follows the redirect to nextURL()
        failed,          // error() says which limit or failure
    };

    Receiver(const HttpRequest& request, const std::string& url, int redirectsFollowed)
        : request_(request), url_(url), redirectsFollowed_(redirectsFollowed) {}

    Ending ending() const { return ending_; }
    bool finalHeadIn() const { return finalHeadIn_; }
    const HttpError& error() const { return error_; }
    const std::string& nextURL() const { return nextURL_; }

    // The final response as received so far.
    HttpResponse takeResponse() {
        HttpResponse response;
        response.status = status_;
        response.url = url_;
        response.headerFields = std::move(headerFields_);
        response.body = std::move(body_);
        response.bodyBytesReceived = bodyBytes_;
        response.redirectsFollowed = redirectsFollowed_;
        return response;
    }

    // --- libcurl callbacks ------------------------------------------------

    static std::size_t headerCallback(char* data, std::size_t size, std::size_t count, void* self) {
        auto* receiver = static_cast<Receiver*>(self);
        const std::size_t bytes = size * count;
        return receiver->onHeadLine(std::string_view(data, bytes)) ? bytes : 0;
    }

    static std::size_t bodyCallback(char* data, std::size_t size, std::size_t count, void* self) {
        auto* receiver = static_cast<Receiver*>(self);
        const std::size_t bytes = size * count;
        return receiver->onBody(std::string_view(data, bytes)) ? bytes : 0;
    }

    // Called once the connection (TLS included) is up, before the request goes out.
    static int connectedCallback(void* self, char* /*remoteIP*/, char* /*localIP*/,
                                 int /*remotePort*/, int /*localPort*/) {
        auto* receiver = static_cast<Receiver*>(self);
        receiver->connected_ = true;
        receiver->lastActivity_ = SteadyClock::now();
        return CURL_PREREQFUNC_OK;
    }

    // --- The wait loop ----------------------------------------------------

    // Stops the transfer when it was cancelled or a time limit has passed.
    // Returns true when it stopped.
    bool checkTime(SteadyClock::time_point now, SteadyClock::time_point totalDeadline) {
        if (request_.stopToken.stop_requested()) {
            stop(Kind::cancelled, "the request was cancelled");
            return true;
        }
        if (now >= totalDeadline) {
            stop(Kind::totalTimeout,
                 "no final response within " + std::to_string(totalTimeoutMs()) + " ms");
            return true;
        }
        if (const auto idle = idleDeadline(); idle && now >= *idle) {
            stop(Kind::idleTimeout, "nothing received for " +
                                        std::to_string(request_.options.idleTimeout().count()) +
                                        " ms");
            return true;
        }
        return false;
    }

    // When the idle limit would pass next, when it applies.
    std::optional<SteadyClock::time_point> idleDeadline() const {
        if (!connected_ || request_.options.idleTimeout().count() == 0) {
            return std::nullopt;
        }
        return lastActivity_ + request_.options.idleTimeout();
    }

    // Records why the transfer stops, unless it already stopped; returns
    // false so a callback can hand it straight back to libcurl.
    bool stop(Kind kind, std::string message) {
        if (ending_ == Ending::running) {
            ending_ = Ending::failed;
            error_ = makeError(kind, std::move(message), url_);
        }
        return false;
    }

private:
    long long totalTimeoutMs() const { return request_.options.totalTimeout().count(); }

    bool onHeadLine(std::string_view line) {
        lastActivity_ = SteadyClock::now();
        if (finalHeadIn_) {
            return true;  // trailer fields after the body; nothing depends on them
        }
        headBytes_ += line.size();
        if (headBytes_ > kMaxHeadBytes) {
            return stop(Kind::transferFailed, "the response head is larger than 256 KiB");
        }
        const std::string_view trimmed = trimSpaces(line);
        if (line.starts_with("HTTP/")) {
            // A new head: an earlier one was informational (1xx).
            headerFields_.clear();
            status_ = statusOf(trimmed).value_or(0);
            return true;
        }
        if (trimmed.empty()) {
            return onHeadEnd();
        }
        const auto colon = trimmed.find(':');
        if (colon != std::string_view::npos) {
            headerFields_.append(std::string(trimSpaces(trimmed.substr(0, colon))),
                                 std::string(trimSpaces(trimmed.substr(colon + 1))));
        }
        return true;
    }

    bool onHeadEnd() {
        if (status_ < 200) {
            return true;  // informational; the real head follows
        }
        headBytes_ = 0;
        const auto location = headerFields_.value("Location");
        if (isRedirectStatus(status_) && location && request_.onRedirect) {
            HttpRedirect redirect;
            redirect.status = status_;
            redirect.location = std::string(*location);
            redirect.target = resolveLocation(url_, redirect.location);
            redirect.fromURL = url_;
            redirect.redirectsFollowed = redirectsFollowed_;
            if (request_.onRedirect(redirect) == HttpRedirectDecision::follow) {
                return follow(redirect);
            }
        }
        finalHeadIn_ = true;
        if (request_.bodyHandling == HttpBodyHandling::stopAfterHead) {
            ending_ = Ending::headComplete;
            return false;
        }
        // A declared length over the cap is refused before its bytes arrive.
        const auto declared = headerFields_.value("Content-Length");
        if (declared && !headerFields_.value("Transfer-Encoding")) {
            std::uint64_t length = 0;
            const auto [end, ec] =
                std::from_chars(declared->data(), declared->data() + declared->size(), length);
            if (ec == std::errc() && end == declared->data() + declared->size() &&
                length > request_.options.maxBodyBytes()) {
                return stop(Kind::bodyTooLarge,
                            "declared body of " + std::to_string(length) +
                                " bytes is over the cap of " +
                                std::to_string(request_.options.maxBodyBytes()));
            }
        }
        return true;
    }

    bool follow(const HttpRedirect& redirect) {
        if (!redirect.target) {
            return stop(Kind::badRedirect,
                        "redirect to \"" + redirect.location + "\" leads to no URL");
        }
        const auto scheme = schemeOf(*redirect.target);
        if (!scheme || !request_.options.allowsScheme(*scheme)) {
            return stop(Kind::schemeNotAllowed,
                        "redirect to " + *redirect.target + " uses a scheme that is not allowed");
        }
        if (redirectsFollowed_ >= request_.options.maxRedirects()) {
            return stop(
                Kind::tooManyRedirects,
                "more than " + std::to_string(request_.options.maxRedirects()) + " redirects");
        }
        nextURL_ = *redirect.target;
        ending_ = Ending::followRedirect;
        return false;  // the redirect's body is not wanted
    }

    bool onBody(std::string_view chunk) {
        lastActivity_ = SteadyClock::now();
        bodyBytes_ += chunk.size();
        if (bodyBytes_ > request_.options.maxBodyBytes()) {
            return stop(Kind::bodyTooLarge, "body passed the cap of " +
                                                std::to_string(request_.options.maxBodyBytes()) +
                                                " bytes");
        }
        if (request_.bodyHandling == HttpBodyHandling::keep) {
            body_.append(chunk);
        }
        return true;
    }

    const HttpRequest& request_;
    const std::string& url_;
    const int redirectsFollowed_;

    Ending ending_ = Ending::running;
    HttpError error_;
    std::string nextURL_;

    bool connected_ = false;
    SteadyClock::time_point lastActivity_{};

    int status_ = 0;
    std::size_t headBytes_ = 0;
    HttpHeaderFields headerFields_;
    bool finalHeadIn_ = false;
    std::string body_;
    std::uint64_t bodyBytes_ = 0;
};

std::string joinedSchemes(const HttpRequestOptions& options) {
    std::string joined;
    for (const auto& scheme : options.allowedSchemes()) {
        if (!joined.empty()) {
            joined += ',';
        }
        joined += scheme;
    }
    return joined;
}

bool isHostName(std::string_view host) {
    return std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '.';
    });
}

}  // namespace

Result<CurlHttpTransport> CurlHttpTransport::withSettings(Settings settings) {
    for (const auto& pin : settings.connectOverrides) {
        if (!isHostName(pin.host) || pin.toAddress.empty() || !isHostName(pin.toAddress)) {
            return Error{"connect override for \"" + pin.host + "\" names no usable address"};
        }
        if (pin.port < 0 || pin.port > 65535 || pin.toPort < 1 || pin.toPort > 65535) {
            return Error{"connect override for \"" + pin.host + "\" has a bad port"};
        }
    }
    if (!settings.caFile.empty()) {
        std::ifstream probe(settings.caFile);
        if (!probe) {
            return Error{"cannot read the CA file " + settings.caFile};
        }
    }
    return CurlHttpTransport(std::move(settings));
}

CurlHttpTransport& CurlHttpTransport::shared() {
    static CurlHttpTransport transport;
    return transport;
}

Result<HttpResponse, HttpError> CurlHttpTransport::send(const HttpRequest& request) {
    if (!curlReady()) {
        return makeError(Kind::transferFailed, "libcurl could not be set up", request.url);
    }
    const auto scheme = schemeOf(request.url);
    if (!scheme) {
        return makeError(Kind::invalidRequest, "not an absolute URL", request.url);
    }
    if (!request.options.allowsScheme(*scheme)) {
        return makeError(Kind::schemeNotAllowed, "scheme \"" + *scheme + "\" is not allowed",
                         request.url);
    }

    const auto start = SteadyClock::now();
    const auto totalDeadline = start + request.options.totalTimeout();
    const std::string schemes = joinedSchemes(request.options);

    Slist headerList;
    for (const auto& field : request.headerFields.all()) {
        const std::string line = field.name + ": " + field.value;
        curl_slist* appended = curl_slist_append(headerList.get(), line.c_str());
        if (appended == nullptr) {
            return makeError(Kind::transferFailed, "out of memory", request.url);
        }
        (void)headerList.release();
        headerList.reset(appended);
    }
    Slist connectTo;
    for (const auto& pin : settings_.connectOverrides) {
        const std::string line = pin.host + ":" + (pin.port == 0 ? "" : std::to_string(pin.port)) +
                                 ":" + pin.toAddress + ":" + std::to_string(pin.toPort);
        curl_slist* appended = curl_slist_append(connectTo.get(), line.c_str());
        if (appended == nullptr) {
            return makeError(Kind::transferFailed, "out of memory", request.url);
        }
        (void)connectTo.release();
        connectTo.reset(appended);
    }

    const MultiHandle multi(curl_multi_init());
    if (!multi) {
        return makeError(Kind::transferFailed, "libcurl could not make a handle", request.url);
    }
    // A stop request wakes the wait loop at once instead of at its next look.
    const std::stop_callback wakeOnStop(request.stopToken,
                                        [handle = multi.get()] { curl_multi_wakeup(handle); });

    std::string url = request.url;
    for (int redirectsFollowed = 0;; ++redirectsFollowed) {
        // Every hop gets a fresh handle and a fresh connection, so nothing of
        // one request (connection, TLS session, state) carries into the next.
        const EasyHandle easy(curl_easy_init());
        if (!easy) {
            return makeError(Kind::transferFailed, "libcurl could not make a handle", url);
        }
        Receiver receiver(request, url, redirectsFollowed);
        char errorBuffer[CURL_ERROR_SIZE] = {};

        const auto now = SteadyClock::now();
        if (receiver.checkTime(now, totalDeadline)) {
            return receiver.error();
        }
        const auto remaining = std::max<long long>(
            1, std::chrono::duration_cast<Milliseconds>(totalDeadline - now).count());
        const long long connectLimit = request.options.connectTimeout().count();
        const bool connectBoundedByTotal = connectLimit == 0 || remaining <= connectLimit;

        CURL* h = easy.get();
        bool configured =
            curl_easy_setopt(h, CURLOPT_URL, url.c_str()) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, schemes.c_str()) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, schemes.c_str()) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 1L) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_HTTPGET, 1L) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2)) ==
                CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS,
                             static_cast<long>(connectBoundedByTotal ? remaining : connectLimit)) ==
                CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &Receiver::headerCallback) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_HEADERDATA, &receiver) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Receiver::bodyCallback) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_WRITEDATA, &receiver) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, &Receiver::connectedCallback) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_PREREQDATA, &receiver) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_HTTPHEADER, headerList.get()) == CURLE_OK;
        if (configured && connectTo) {
            configured = curl_easy_setopt(h, CURLOPT_CONNECT_TO, connectTo.get()) == CURLE_OK &&
                         curl_easy_setopt(h, CURLOPT_NOPROXY, "*") == CURLE_OK;
        }
        if (configured && !settings_.caFile.empty()) {
            // Only the given authorities: the system's folder of CAs is dropped too.
            configured =
                curl_easy_setopt(h, CURLOPT_CAINFO, settings_.caFile.c_str()) == CURLE_OK &&
                curl_easy_setopt(h, CURLOPT_CAPATH, static_cast<char*>(nullptr)) == CURLE_OK;
        }
        if (!configured) {
            return makeError(Kind::invalidRequest, "libcurl refused an option", url);
        }

        if (curl_multi_add_handle(multi.get(), h) != CURLM_OK) {
            return makeError(Kind::transferFailed, "libcurl could not start the transfer", url);
        }
        std::optional<CURLcode> finished;
        for (;;) {
            int running = 0;
            if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
                receiver.stop(Kind::transferFailed, "libcurl failed while transferring");
                break;
            }
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
                if (message->msg == CURLMSG_DONE && message->easy_handle == h) {
                    finished = message->data.result;
                }
            }
            if (finished || receiver.ending() != Receiver::Ending::running) {
                break;
            }
            const auto loopNow = SteadyClock::now();
            if (receiver.checkTime(loopNow, totalDeadline)) {
                break;
            }
            auto wakeAt = std::min(totalDeadline, loopNow + kLongestWait);
            if (const auto idle = receiver.idleDeadline()) {
                wakeAt = std::min(wakeAt, *idle);
            }
            const auto wait =
                std::chrono::duration_cast<Milliseconds>(wakeAt - loopNow).count() + 1;
            curl_multi_poll(multi.get(), nullptr, 0, static_cast<int>(wait), nullptr);
        }
        curl_multi_remove_handle(multi.get(), h);

        switch (receiver.ending()) {
            case Receiver::Ending::failed:
                return receiver.error();
            case Receiver::Ending::followRedirect:
                url = receiver.nextURL();
                continue;
            case Receiver::Ending::headComplete:
                return receiver.takeResponse();
            case Receiver::Ending::running:
                break;
        }
        const CURLcode code = finished.value_or(CURLE_OK);
        if (code == CURLE_OK) {
            if (!receiver.finalHeadIn()) {
                return makeError(Kind::transferFailed, "the server sent no response", url);
            }
            return receiver.takeResponse();
        }
        Kind kind = kindOf(code);
        if (kind == Kind::connectTimeout && connectBoundedByTotal) {
            kind = Kind::totalTimeout;
        }
        std::string detail = errorBuffer[0] != '\0' ? errorBuffer : curl_easy_strerror(code);
        return makeError(kind, std::move(detail), url);
    }
}

}  // namespace scourlet
