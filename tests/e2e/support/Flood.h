#pragma once

#include "ScopedNetns.h"
#include "UniqueFd.h"

#include <arpa/inet.h>
#include <atomic>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <vector>

namespace tavolix::e2e {

// From another namespace, a thread per port sends to the host as fast as it can until stopped:
// bytes of no protocol, a native reply cut after its magic, and a probe match answering a
// probe that was not the host's.
class Flood final
{
public:
    Flood(const std::string& netns, const char* host, const std::vector<uint16_t>& ports)
    {
        for (const uint16_t port : ports)
            m_threads.emplace_back([=, this] { send(netns, host, port); });
    }
    ~Flood() { stop(); }
    void stop()
    {
        m_stop = true;
        m_threads.clear();
    }
    long long sent() const { return m_sent; }

private:
    void send(const std::string& netns, const char* host, uint16_t port)
    {
        const test::ScopedNetns inside(netns);
        const UniqueFd socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        const sockaddr_in target{AF_INET, htons(port), {inet_addr(host)}, {}};
        if (!inside.entered() || !socket ||
            ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0)
            return;
        std::string kinds[] = {std::string(16, '\x81'), "VXL8",
                               R"(<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" )"
                               R"(xmlns:a="http://schemas.xmlsoap.org/ws/2004/08/addressing">)"
                               R"(<s:Header><a:RelatesTo>uuid:0</a:RelatesTo></s:Header><s:Body>)"
                               R"(<ProbeMatches xmlns="http://schemas.xmlsoap.org/ws/2005/04/)"
                               R"(discovery"><ProbeMatch><Types>x</Types></ProbeMatch>)"
                               R"(</ProbeMatches></s:Body></s:Envelope>)"};
        iovec payloads[48];
        mmsghdr messages[48] = {};
        for (std::size_t i = 0; i < std::size(messages); ++i) {
            payloads[i] = {kinds[i % 3].data(), kinds[i % 3].size()};
            messages[i].msg_hdr.msg_iov = &payloads[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        while (!m_stop) // refused while no socket listens: no matter
            m_sent += std::max(0, ::sendmmsg(socket.get(), messages, std::size(messages), 0));
    }

    std::atomic<bool> m_stop = false;
    std::atomic<long long> m_sent = 0;
    std::vector<std::jthread> m_threads; // last: joined first
};

} // namespace tavolix::e2e
