#pragma once

// A flood of datagrams at a host's answer ports, from another namespace: random bytes, a
// native reply cut after its magic, and probe matches answering a probe that was not the
// host's. Each port gets a thread sending as fast as it can until the flood ends.
#include "ScopedNetns.h"
#include "UniqueFd.h"

#include <arpa/inet.h>
#include <array>
#include <atomic>
#include <random>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <vector>

namespace tavolix::e2e {

inline const std::string unrelatedProbeMatch =
    R"(<?xml version="1.0" encoding="UTF-8"?><s:Envelope )"
    R"(xmlns:s="http://www.w3.org/2003/05/soap-envelope" )"
    R"(xmlns:a="http://schemas.xmlsoap.org/ws/2004/08/addressing" )"
    R"(xmlns:d="http://schemas.xmlsoap.org/ws/2005/04/discovery" )"
    R"(xmlns:dn="http://www.onvif.org/ver10/network/wsdl"><s:Header><a:RelatesTo>)"
    R"(uuid:00000000-0000-4000-8000-000000000000</a:RelatesTo></s:Header><s:Body><d:ProbeMatches>)"
    R"(<d:ProbeMatch><a:EndpointReference><a:Address>urn:uuid:f1000d00-0000-4000-8000-000000000001)"
    R"(</a:Address></a:EndpointReference><d:Types>dn:NetworkVideoTransmitter</d:Types><d:XAddrs>)"
    R"(http://198.18.0.2/onvif/device_service</d:XAddrs></d:ProbeMatch></d:ProbeMatches></s:Body>)"
    R"(</s:Envelope>)";

class Flood final
{
public:
    Flood(const std::string& fromNetns, const std::string& host, const std::vector<uint16_t>& ports)
    {
        for (const uint16_t port : ports)
            m_threads.emplace_back([this, fromNetns, host, port] { send(fromNetns, host, port); });
    }
    ~Flood() { stop(); }
    Flood(const Flood&) = delete;
    Flood& operator=(const Flood&) = delete;

    void stop()
    {
        m_stop = true;
        m_threads.clear();
    }
    long long sent() const { return m_sent.load(); }

private:
    void send(const std::string& netns, const std::string& host, uint16_t port)
    {
        const test::ScopedNetns inside(netns);
        const UniqueFd socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(port);
        target.sin_addr.s_addr = inet_addr(host.c_str());
        if (!inside.entered() || !socket ||
            ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0)
            return;
        std::mt19937 random(port);
        std::vector<std::string> kinds = {std::string(1400, '\0'), "VXL8", unrelatedProbeMatch};
        for (char& c : kinds[0])
            c = static_cast<char>(random());
        std::array<iovec, 48> payloads{};
        std::array<mmsghdr, 48> messages{};
        for (std::size_t i = 0; i < messages.size(); ++i) {
            std::string& bytes = kinds[i % kinds.size()];
            payloads[i] = {bytes.data(), bytes.size()};
            messages[i].msg_hdr.msg_iov = &payloads[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        while (!m_stop.load()) {
            // Refusals while nothing listens on the port are no matter.
            const int sent = ::sendmmsg(socket.get(), messages.data(), messages.size(), 0);
            m_sent += sent > 0 ? sent : 0;
        }
    }

    std::atomic<bool> m_stop = false;
    std::atomic<long long> m_sent = 0;
    std::vector<std::jthread> m_threads; // last: joined before the rest goes
};

} // namespace tavolix::e2e
