#include "HttpExchanges.h"

#include <algorithm>
#include <cctype>
#include <curl/curl.h>
#include <map>
#include <optional>
#include <string_view>
#include <sys/resource.h>

namespace tavolix::onvif {
namespace {

// A connection per device at once, up to a thousand, as far as the
// descriptor limit allows with a margin for everything else.
long connectionCap()
{
    constexpr long most = 1024;
    constexpr long margin = 128;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return most;
    return std::clamp(static_cast<long>(limit.rlim_cur) - margin, 16L, most);
}

std::optional<Failure> initialiseCurlOnce()
{
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (initialised != CURLE_OK)
        return systemFailure(std::string("libcurl cannot start: ") +
                             curl_easy_strerror(initialised));
    return std::nullopt;
}

struct EasyDeleter
{
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListDeleter
{
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct MultiDeleter
{
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};

struct Transfer
{
    uint64_t id = 0;
    std::unique_ptr<CURL, EasyDeleter> easy;
    std::unique_ptr<curl_slist, ListDeleter> headers;
    std::string request; // libcurl reads the body from here while it sends
    std::string answer;
    bool tooLarge = false;
    std::vector<std::string> challenges;
    std::optional<std::chrono::system_clock::time_point> date;
    std::string authorization;
    std::string idleKey; // where the handle waits for the device's next call
};

bool startsWithNoCase(std::string_view text, std::string_view start)
{
    return text.size() >= start.size() &&
           std::equal(start.begin(), start.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

// The value of a "Name: value" header line when it has that name, without
// blanks around it or the line's end.
std::optional<std::string_view> headerValue(std::string_view line, std::string_view name)
{
    if (!startsWithNoCase(line, name) || line.size() <= name.size() || line[name.size()] != ':')
        return std::nullopt;
    std::string_view value = line.substr(name.size() + 1);
    const auto first = value.find_first_not_of(" \t");
    const auto last = value.find_last_not_of(" \t\r\n");
    return first == std::string_view::npos ? std::string_view()
                                           : value.substr(first, last - first + 1);
}

// The answer's headers, one line a call, those of a 401 libcurl answers
// included: a status line starts the next answer's.
std::size_t keepHeader(char* data, std::size_t size, std::size_t count, void* transfer)
{
    auto& into = *static_cast<Transfer*>(transfer);
    const std::string_view line(data, size * count);
    if (line.starts_with("HTTP/")) {
        into.challenges.clear();
        into.date.reset();
    } else if (const auto challenge = headerValue(line, "WWW-Authenticate")) {
        if (into.challenges.size() < HttpExchanges::maxChallengeHeaders &&
            challenge->size() <= HttpExchanges::maxHeaderValueBytes)
            into.challenges.emplace_back(*challenge);
    } else if (const auto date = headerValue(line, "Date");
               date && date->size() <= HttpExchanges::maxHeaderValueBytes) {
        const time_t seconds = curl_getdate(std::string(*date).c_str(), nullptr);
        if (seconds != -1)
            into.date = std::chrono::system_clock::from_time_t(seconds);
    }
    return size * count;
}

// The request headers libcurl sent: which Authorization, if any, the last
// request carried (what libcurl answered a challenge with).
int watchRequest(CURL*, curl_infotype type, char* data, std::size_t size, void* transfer)
{
    if (type != CURLINFO_HEADER_OUT)
        return 0;
    auto& into = *static_cast<Transfer*>(transfer);
    std::string_view headers(data, size);
    for (bool first = true; !headers.empty(); first = false) {
        const std::size_t end = std::min(headers.find('\n'), headers.size() - 1);
        const std::string_view line = headers.substr(0, end + 1);
        headers.remove_prefix(end + 1);
        if (first && line.find(" HTTP/") != std::string_view::npos)
            into.authorization.clear(); // a request line: the next request
        else if (const auto value = headerValue(line, "Authorization"))
            into.authorization = value->substr(0, HttpExchanges::maxHeaderValueBytes);
    }
    return 0;
}

std::size_t keepAnswer(char* data, std::size_t size, std::size_t count, void* transfer)
{
    auto& into = *static_cast<Transfer*>(transfer);
    const std::size_t bytes = size * count;
    if (into.answer.size() + bytes > HttpExchanges::maxAnswerBytes) {
        into.tooLarge = true;
        return 0; // ends the transfer
    }
    into.answer.append(data, bytes);
    return bytes;
}

// A call that ended: its answer, taken out of the transfer, or why there is none.
HttpResult endedCall(Transfer& transfer, CURLcode code, long status)
{
    if (code != CURLE_OK)
        return {transfer.id, incomplete(transfer.tooLarge ? "the answer is larger than 1 MiB"
                                                          : curl_easy_strerror(code))};
    return {transfer.id,
            HttpAnswer{status, std::move(transfer.answer), std::move(transfer.challenges),
                       transfer.date, std::move(transfer.authorization)}};
}

Failure curlFailure(const std::string& what, CURLcode code)
{
    return systemFailure(what + ": " + curl_easy_strerror(code));
}

} // namespace

struct HttpExchanges::State
{
    // What libcurl asked to wait for; declared before the multi handle, whose
    // clean-up still reports sockets going.
    std::map<curl_socket_t, int> sockets; // CURL_POLL_IN, _OUT or _INOUT
    std::optional<Clock::time_point> deadline;
    std::optional<Failure> broken; // why no call can be made
    TlsCheck tls = TlsCheck::Skip;
    // Before the transfers, so that they are removed before it goes.
    std::unique_ptr<CURLM, MultiDeleter> multi{curl_multi_init()};
    std::map<CURL*, Transfer> transfers;
    // A Digest handle between a device's calls: libcurl keeps the device's
    // nonce in it and answers the next call's challenge before it is made,
    // and a stale nonce by itself, so that only the first call meets a 401.
    std::map<std::string, std::unique_ptr<CURL, EasyDeleter>> idle;
    uint64_t lastId = 0;

    static int onSocket(CURL*, curl_socket_t socket, int what, void* state, void*)
    {
        auto& sockets = static_cast<State*>(state)->sockets;
        if (what == CURL_POLL_REMOVE)
            sockets.erase(socket);
        else
            sockets[socket] = what;
        return 0;
    }

    static int onTimer(CURLM*, long milliseconds, void* state)
    {
        auto& deadline = static_cast<State*>(state)->deadline;
        if (milliseconds < 0)
            deadline.reset();
        else
            deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
        return 0;
    }
};

HttpExchanges::HttpExchanges(TlsCheck tls) : m_state(std::make_unique<State>())
{
    State& state = *m_state;
    state.tls = tls;
    if ((state.broken = initialiseCurlOnce()))
        return;
    if (!state.multi) {
        state.broken = systemFailure("libcurl cannot make a multi handle");
        return;
    }
    CURLM* multi = state.multi.get();
    for (const CURLMcode code :
         {curl_multi_setopt(multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, connectionCap()),
          curl_multi_setopt(multi, CURLMOPT_SOCKETFUNCTION, &State::onSocket),
          curl_multi_setopt(multi, CURLMOPT_SOCKETDATA, &state),
          curl_multi_setopt(multi, CURLMOPT_TIMERFUNCTION, &State::onTimer),
          curl_multi_setopt(multi, CURLMOPT_TIMERDATA, &state)}) {
        if (code != CURLM_OK && !state.broken)
            state.broken = systemFailure(std::string("libcurl refused a setting: ") +
                                         curl_multi_strerror(code));
    }
}

HttpExchanges::~HttpExchanges()
{
    for (auto& [easy, transfer] : m_state->transfers)
        curl_multi_remove_handle(m_state->multi.get(), easy);
}

Result<uint64_t> HttpExchanges::post(const HttpPost& post)
{
    if (m_state->broken)
        return *m_state->broken;
    Transfer made;
    if (post.digest) {
        made.idleKey = post.url + '\n' + post.digest->user;
        if (auto waiting = m_state->idle.extract(made.idleKey))
            made.easy = std::move(waiting.mapped());
    }
    if (!made.easy)
        made.easy.reset(curl_easy_init());
    if (!made.easy)
        return systemFailure("libcurl cannot make a transfer");
    CURL* handle = made.easy.get();
    made.request = post.body;
    const std::string type =
        "Content-Type: application/soap+xml; charset=utf-8; action=\"" + post.action + "\"";
    made.headers.reset(curl_slist_append(nullptr, type.c_str()));
    // No "Expect: 100-continue": some devices never send the go-ahead.
    if (!made.headers || curl_slist_append(made.headers.get(), "Expect:") == nullptr)
        return systemFailure("libcurl cannot hold the call's headers");
    Transfer& transfer = m_state->transfers.emplace(handle, std::move(made)).first->second;

    CURLcode code = CURLE_OK;
    const auto set = [&](CURLoption option, auto value) {
        if (code == CURLE_OK)
            code = curl_easy_setopt(handle, option, value);
    };
    set(CURLOPT_URL, post.url.c_str());
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    // Straight to the device: a proxy from the environment (http_proxy,
    // ALL_PROXY) would see every call and its login.
    set(CURLOPT_PROXY, "");
    const bool verify = m_state->tls == TlsCheck::Required;
    set(CURLOPT_SSL_VERIFYPEER, verify ? 1L : 0L);
    set(CURLOPT_SSL_VERIFYHOST, verify ? 2L : 0L);
    if (post.digest) {
        // Digest alone, answered once the device's 401 names it. With
        // CURLAUTH_ONLY the first request carries the body: with Digest alone
        // libcurl would first send an empty POST as a probe, which a device
        // that asks for no Digest answers as a malformed call.
        set(CURLOPT_HTTPAUTH, static_cast<unsigned long>(CURLAUTH_DIGEST | CURLAUTH_ONLY));
        set(CURLOPT_USERNAME, post.digest->user.c_str());
        set(CURLOPT_PASSWORD, post.digest->password.c_str());
    }
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_POST, 1L);
    set(CURLOPT_POSTFIELDS, transfer.request.data());
    set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(transfer.request.size()));
    set(CURLOPT_HTTPHEADER, transfer.headers.get());
    set(CURLOPT_TIMEOUT_MS, static_cast<long>(post.timeout.count()));
    set(CURLOPT_WRITEFUNCTION, &keepAnswer);
    set(CURLOPT_WRITEDATA, static_cast<void*>(&transfer));
    set(CURLOPT_HEADERFUNCTION, &keepHeader);
    set(CURLOPT_HEADERDATA, static_cast<void*>(&transfer));
    // Only so that the request headers are seen; nothing is printed.
    set(CURLOPT_DEBUGFUNCTION, &watchRequest);
    set(CURLOPT_DEBUGDATA, static_cast<void*>(&transfer));
    set(CURLOPT_VERBOSE, 1L);
    if (code != CURLE_OK) {
        m_state->transfers.erase(handle);
        return curlFailure("libcurl refused the call to " + post.url, code);
    }
    if (const CURLMcode added = curl_multi_add_handle(m_state->multi.get(), handle);
        added != CURLM_OK) {
        m_state->transfers.erase(handle);
        return systemFailure(std::string("libcurl cannot start the call: ") +
                             curl_multi_strerror(added));
    }
    transfer.id = ++m_state->lastId;
    return transfer.id;
}

void HttpExchanges::watch(WaitSet& waits) const
{
    for (const auto& [socket, what] : m_state->sockets) {
        const short in = (what & CURL_POLL_IN) != 0 ? POLLIN : 0;
        const short out = (what & CURL_POLL_OUT) != 0 ? POLLOUT : 0;
        waits.watch(socket, static_cast<short>(in | out));
    }
    if (m_state->deadline)
        waits.wakeAt(*m_state->deadline);
}

std::vector<HttpResult> HttpExchanges::advance(const WaitSet& ready)
{
    CURLM* multi = m_state->multi.get();
    if (multi == nullptr)
        return {};
    // Collected first: libcurl changes the socket list while it acts.
    std::vector<std::pair<curl_socket_t, int>> actions;
    for (const pollfd& watched : ready.watched()) {
        const short events = watched.revents;
        const int flags = ((events & POLLIN) != 0 ? CURL_CSELECT_IN : 0) |
                          ((events & POLLOUT) != 0 ? CURL_CSELECT_OUT : 0) |
                          ((events & (POLLERR | POLLHUP)) != 0 ? CURL_CSELECT_ERR : 0);
        if (flags != 0 && m_state->sockets.contains(watched.fd))
            actions.emplace_back(watched.fd, flags);
    }
    int running = 0;
    CURLMcode acted = CURLM_OK;
    const auto act = [&](curl_socket_t socket, int flags) {
        if (const CURLMcode code = curl_multi_socket_action(multi, socket, flags, &running);
            code != CURLM_OK)
            acted = code;
    };
    for (const auto& [socket, flags] : actions)
        act(socket, flags);
    if (m_state->deadline && ready.due(*m_state->deadline)) {
        m_state->deadline.reset();
        act(CURL_SOCKET_TIMEOUT, 0);
    }

    std::vector<HttpResult> ended;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        CURL* handle = message->easy_handle;
        const auto found = m_state->transfers.find(handle);
        if (found == m_state->transfers.end())
            continue;
        Transfer& transfer = found->second;
        long status = 0;
        const CURLcode code = message->data.result == CURLE_OK
                                  ? curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status)
                                  : message->data.result;
        HttpResult result = endedCall(transfer, code, status);
        long requestBytes = 0;
        result.requestSent = code == CURLE_OK || (curl_easy_getinfo(handle, CURLINFO_REQUEST_SIZE,
                                                                    &requestBytes) == CURLE_OK &&
                                                  requestBytes > 0);
        ended.push_back(std::move(result));
        curl_multi_remove_handle(multi, handle);
        if (code == CURLE_OK && !transfer.idleKey.empty())
            m_state->idle[transfer.idleKey] = std::move(transfer.easy);
        m_state->transfers.erase(found);
    }
    if (acted != CURLM_OK) {
        // libcurl cannot go on (out of memory): no call may wait for an end that never comes.
        for (const auto& [handle, transfer] : m_state->transfers) {
            ended.push_back({transfer.id,
                             systemFailure(std::string("libcurl: ") + curl_multi_strerror(acted))});
            curl_multi_remove_handle(multi, handle);
        }
        m_state->transfers.clear();
    }
    return ended;
}

std::size_t HttpExchanges::running() const
{
    return m_state->transfers.size();
}

} // namespace tavolix::onvif
