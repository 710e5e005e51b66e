#include "HttpExchanges.h"

#include <curl/curl.h>
#include <map>
#include <mutex>

namespace tavolix::onvif {
namespace {

// Enough for a site's devices at once, far from the descriptor limit.
constexpr long maxConnections = 64;

void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
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
};

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

} // namespace

struct HttpExchanges::State
{
    // Declared first, so that the transfers are removed before it goes.
    std::unique_ptr<CURLM, MultiDeleter> multi{curl_multi_init()};
    std::map<CURL*, Transfer> transfers;
    uint64_t lastId = 0;
};

HttpExchanges::HttpExchanges()
{
    initialiseCurlOnce();
    m_state = std::make_unique<State>();
    curl_multi_setopt(m_state->multi.get(), CURLMOPT_MAX_TOTAL_CONNECTIONS, maxConnections);
}

HttpExchanges::~HttpExchanges()
{
    for (auto& [easy, transfer] : m_state->transfers)
        curl_multi_remove_handle(m_state->multi.get(), easy);
}

uint64_t HttpExchanges::post(const HttpPost& post)
{
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    CURL* handle = easy.get();
    Transfer& transfer = m_state->transfers[handle];
    transfer.id = ++m_state->lastId;
    transfer.easy = std::move(easy);
    transfer.request = post.body;
    const std::string type =
        "Content-Type: application/soap+xml; charset=utf-8; action=\"" + post.action + "\"";
    transfer.headers.reset(curl_slist_append(nullptr, type.c_str()));
    // No "Expect: 100-continue": some devices never send the go-ahead.
    transfer.headers.reset(curl_slist_append(transfer.headers.release(), "Expect:"));

    curl_easy_setopt(handle, CURLOPT_URL, post.url.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_POST, 1L);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, transfer.request.data());
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(transfer.request.size()));
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, transfer.headers.get());
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(post.timeout.count()));
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, keepAnswer);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_PRIVATE, &transfer);
    curl_multi_add_handle(m_state->multi.get(), handle);
    return transfer.id;
}

std::vector<HttpResult> HttpExchanges::step(std::chrono::milliseconds wait,
                                            std::span<const int> readable)
{
    CURLM* multi = m_state->multi.get();
    int active = 0;
    curl_multi_perform(multi, &active);
    // A fast device's answer may have come in that very perform: its call has
    // ended, its connection is idle, and nothing would wake the poll for it.
    const bool someEnded = static_cast<std::size_t>(active) < m_state->transfers.size();
    std::vector<curl_waitfd> extra;
    for (const int fd : readable)
        extra.push_back({fd, CURL_WAIT_POLLIN, 0});
    curl_multi_poll(multi, extra.data(), static_cast<unsigned>(extra.size()),
                    someEnded ? 0 : static_cast<int>(wait.count()), nullptr);
    curl_multi_perform(multi, &active);

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
        HttpResult result;
        result.id = transfer.id;
        if (message->data.result == CURLE_OK) {
            curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &result.status);
            result.body = std::move(transfer.answer);
        } else {
            result.error = transfer.tooLarge ? "the answer is larger than 1 MiB"
                                             : curl_easy_strerror(message->data.result);
        }
        ended.push_back(std::move(result));
        curl_multi_remove_handle(multi, handle);
        m_state->transfers.erase(found);
    }
    return ended;
}

std::size_t HttpExchanges::running() const
{
    return m_state->transfers.size();
}

} // namespace tavolix::onvif
