#pragma once

#include "DeviceService.h"
#include "HttpDigest.h"
#include "OnvifSimOptions.h"
#include "SimCamera.h"

#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tavolix::onvifsim {

struct HttpAnswer
{
    unsigned status = 200;
    std::string body;
    std::string contentType = "application/soap+xml; charset=utf-8";
    std::vector<std::pair<std::string, std::string>> headers; // Date, WWW-Authenticate
    SimCamera* commitAfterReply = nullptr; // whose staged settings take effect when it is out
    std::string endlessFor; // set (a MAC): blanks follow the body until the client hangs up
};

// "Sun, 06 Nov 1994 08:49:37 GMT", as HTTP's Date header writes it.
std::string httpDate(DeviceTime time);

// Where the device service is listened for.
struct HttpListener
{
    Ipv4 address = 0;
    uint16_t port = 0;
    bool tls = false;
    auto operator<=>(const HttpListener&) const = default;
};

struct ProbeAnswer
{
    Ipv4 source = 0;       // the answerer's address, the datagram's source
    int prefixLength = 24; // of its subnet: is the prober on it?
    std::string message;
};

// Every simulated answerer, found by the address and port a connection or a
// probe reached. The one owner of their state: the HTTP side and the
// discovery side both run on the simulator's one thread.
class SimFleet final
{
public:
    // Moves a camera's address on the interface: (before, after, whether
    // another answerer still holds the old address, which then stays).
    using AddressMover =
        std::function<bool(const NetworkSettings&, const NetworkSettings&, bool keepOld)>;
    using LineSink = std::function<void(const std::string&)>;
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    SimFleet(const OnvifSimOptions& options, AddressMover mover, LineSink transcript,
             Clock clock = std::chrono::system_clock::now);
    SimFleet(const SimFleet&) = delete;
    SimFleet& operator=(const SimFleet&) = delete;

    // A request that reached local address:port, with its Authorization
    // header. Only a camera that is at that address and port answers;
    // anything else is 404. Every answer's Date is the devices' clock.
    HttpAnswer serve(Ipv4 local, uint16_t port, std::string_view method, std::string_view path,
                     std::string_view body, std::string_view authorization = {});
    // Lets a camera's staged settings take effect, after its reply went out.
    void commit(SimCamera& camera);

    std::vector<ProbeAnswer> answerProbe(std::string_view datagram, const std::string& peer);

    // Where some answerer listens now, for the listening sockets; the count
    // of moves tells when to ask again.
    std::set<HttpListener> listeners() const;
    unsigned moves() const { return m_moves; }
    // The devices' clock: real time, the offset, and the time zone of a
    // clock that keeps local time.
    DeviceTime deviceNow() const;
    const std::vector<SimCamera>& cameras() const { return m_cameras; }
    const OnvifSimOptions& options() const { return m_options; }
    // A line for the transcript from the HTTP side.
    void note(const std::string& line) { m_transcript(line); }

private:
    SimCamera* cameraAt(Ipv4 local, uint16_t port);
    bool sharedAddress(const SimCamera& camera) const;

    const OnvifSimOptions& m_options;
    std::vector<SimCamera> m_cameras; // the computer last, when there is one
    AddressMover m_mover;
    LineSink m_transcript;
    Clock m_clock;
    unsigned m_messageNumber = 0;
    unsigned m_moves = 0;
    std::unique_ptr<DigestGate> m_digest; // null where Digest is not offered
    bool m_clockJumped = false;           // --clock-jump happened
    SeenNonces m_nonces;                  // --nonce-once: the tokens' nonces taken
};

} // namespace tavolix::onvifsim
