#include "SimFleet.h"

#include "Probe.h"

#include <ctime>

namespace tavolix::onvifsim {
namespace {

std::vector<DigestAlgorithm> digestOffered(AuthMode mode)
{
    switch (mode) {
    case AuthMode::DigestMd5:
        return {DigestAlgorithm::Md5};
    case AuthMode::DigestSha256:
        return {DigestAlgorithm::Sha256};
    case AuthMode::Either:
        return {DigestAlgorithm::Sha256, DigestAlgorithm::Md5};
    case AuthMode::Wsse:
    case AuthMode::None:
        break;
    }
    return {};
}

std::string endpointText(const NetworkSettings& settings)
{
    return ipv4Text(settings.address) + "/" + std::to_string(settings.prefixLength) + ":" +
           std::to_string(settings.httpPort);
}

} // namespace

// Sun, 06 Nov 1994 08:49:37 GMT
std::string httpDate(DeviceTime time)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm parts{};
    char text[40] = {};
    if (!::gmtime_r(&seconds, &parts) ||
        std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts) == 0)
        return {};
    return text;
}

SimFleet::SimFleet(const OnvifSimOptions& options, AddressMover mover, LineSink transcript,
                   Clock clock)
    : m_options(options), m_mover(std::move(mover)), m_transcript(std::move(transcript)),
      m_clock(std::move(clock))
{
    if (const auto offered = digestOffered(options.auth); !offered.empty())
        m_digest = std::make_unique<DigestGate>(offered, options.staleAfter);
    for (int i = 0; i < options.count; ++i)
        m_cameras.push_back(makeCamera(options, i));
    if (options.wsdpHost)
        m_cameras.push_back(makeComputer(options));
}

bool SimFleet::sharedAddress(const SimCamera& camera) const
{
    for (const SimCamera& other : m_cameras) {
        if (&other != &camera && other.settings.address == camera.settings.address)
            return true;
    }
    return false;
}

SimCamera* SimFleet::cameraAt(Ipv4 local, uint16_t port)
{
    for (SimCamera& camera : m_cameras) {
        if (camera.settings.address == local && !camera.isComputer &&
            ((servesHttp(m_options) && servicePort(camera.settings) == port) ||
             (servesHttps(m_options) && camera.httpsPort == port)))
            return &camera;
    }
    return nullptr;
}

DeviceTime SimFleet::deviceNow() const
{
    return m_clock() + std::chrono::seconds(m_options.clockOffsetSeconds) +
           std::chrono::hours(m_options.localTimeAsUtc ? 8 : 0) +
           std::chrono::seconds(m_clockJumped ? m_options.clockJumpSeconds : 0);
}

HttpAnswer SimFleet::serve(Ipv4 local, uint16_t port, std::string_view method,
                           std::string_view path, std::string_view body,
                           std::string_view authorization)
{
    if (m_options.clockJumpSeconds != 0 && !m_clockJumped && operationOf(body).starts_with("Set")) {
        m_clockJumped = true;
        m_transcript("clock jumps " + std::to_string(m_options.clockJumpSeconds) + " s");
    }
    const DeviceTime now = deviceNow();
    HttpAnswer answer;
    answer.contentType = "text/plain";
    answer.headers.emplace_back("Date", httpDate(now));
    SimCamera* camera = cameraAt(local, port);
    const std::string where = ipv4Text(local) + ":" + std::to_string(port);
    if (!camera || path != "/onvif/device_service") {
        m_transcript("http " + where + " " + std::string(path) + " not-found");
        answer.status = 404;
        answer.body = "not found\n";
        return answer;
    }
    if (method != "POST") {
        answer.status = 405;
        answer.body = "POST SOAP 1.2 here\n";
        return answer;
    }
    const std::string mac = macText(camera->mac, '\0');
    if (m_options.notSoapStatus != 0 && !m_options.notSoapSetsOnly) {
        m_transcript("call " + mac + " ? not-soap " + std::to_string(m_options.notSoapStatus));
        answer.status = m_options.notSoapStatus;
        answer.body = htmlPage(answer.status);
        answer.contentType = "text/html";
        return answer;
    }
    const DigestCheck digest =
        m_digest ? m_digest->check(authorization, method, path, m_options.user, m_options.password)
                 : DigestCheck{};
    const bool digestAccepted = digest.verdict == DigestVerdict::Accepted;
    const ServiceContext context{
        .user = m_options.user,
        .password = m_options.password,
        .deviceNow = now,
        .rebootNeeded = m_options.rebootNeeded,
        .tokensLogIn = m_options.auth == AuthMode::Wsse || m_options.auth == AuthMode::Either,
        .digestOffered = m_digest != nullptr,
        .clockNeedsLogin = m_options.clockNeedsLogin,
        .portStays = m_options.portStays,
        .refuseInterfaces = m_options.refuseInterfaces,
        .loggedIn = m_options.auth == AuthMode::None || digestAccepted,
        .seenNonces = m_options.nonceOnce ? &m_nonces : nullptr,
        .setsNotSoap = m_options.notSoapSetsOnly ? m_options.notSoapStatus : 0,
        .setsLatin1Fault = m_options.latin1Faults};
    CallOutcome outcome = handleDeviceCall(*camera, body, context);
    if (outcome.challenge) {
        // A Digest that failed says why; a stale nonce is asked again as such.
        if (digest.verdict != DigestVerdict::Missing)
            outcome.note = std::string("unauthorized ") + digestVerdictText(digest.verdict);
        const std::vector<std::string> challenges =
            m_digest->challenges(digest.verdict == DigestVerdict::Stale);
        if (m_options.challengeStyle == ChallengeStyle::Joined) {
            std::string joined;
            for (const std::string& challenge : challenges)
                joined += (joined.empty() ? "" : ", ") + challenge;
            answer.headers.emplace_back("WWW-Authenticate", joined);
        } else {
            for (const std::string& challenge : challenges)
                answer.headers.emplace_back("WWW-Authenticate", challenge);
        }
        outcome.reply = "401 Unauthorized\n";
    } else if (!m_options.quiet && (digestAccepted || outcome.tokenLogin)) {
        m_transcript("login " + mac + " " +
                     (digestAccepted
                          ? std::string("digest ") + digestAlgorithmName(digest.algorithm)
                          : std::string("wsse")) +
                     " accepted");
    }
    m_transcript("call " + mac + " " + outcome.call + " " + outcome.note);
    answer.status = outcome.httpStatus;
    answer.body = outcome.reply;
    if (!outcome.challenge)
        answer.contentType = outcome.reply.starts_with("<html>")
                                 ? "text/html"
                                 : "application/soap+xml; charset=utf-8";
    if (outcome.commitAfterReply)
        answer.commitAfterReply = camera;
    if (camera->oversized && outcome.call == "GetDeviceInformation" && answer.status == 200)
        answer.endlessFor = mac;
    return answer;
}

void SimFleet::commit(SimCamera& camera)
{
    const NetworkSettings before = camera.settings;
    if (camera.staged == before)
        return;
    if ((camera.staged.address != before.address ||
         camera.staged.prefixLength != before.prefixLength) &&
        !m_mover(before, camera.staged, sharedAddress(camera))) {
        m_transcript("move " + macText(camera.mac, '\0') + " failed " +
                     endpointText(camera.staged));
        camera.staged = before;
        return;
    }
    camera.settings = camera.staged;
    ++m_moves;
    m_transcript("move " + macText(camera.mac, '\0') + " " + endpointText(before) + " -> " +
                 endpointText(camera.settings) + " gateway " +
                 (camera.settings.gateway ? ipv4Text(camera.settings.gateway) : "none"));
}

std::vector<ProbeAnswer> SimFleet::answerProbe(std::string_view datagram, const std::string& peer)
{
    std::vector<ProbeAnswer> answers;
    const std::optional<Probe> probe = parseProbe(datagram);
    if (!probe)
        return answers;
    for (const SimCamera& camera : m_cameras) {
        if (!answersProbe(camera, *probe, m_options.probeFilter))
            continue;
        answers.push_back(
            {camera.settings.address, camera.settings.prefixLength,
             probeMatchesMessage(camera, *probe, m_options.extraXAddrs, ++m_messageNumber)});
        if (!m_options.quiet)
            m_transcript("match " + macText(camera.mac, '\0') + " " + peer + " " +
                         deviceServiceAddress(camera));
    }
    if (!m_options.quiet)
        m_transcript("probe " + peer + " types=" + std::to_string(probe->types.size()) +
                     " answered " + std::to_string(answers.size()) + " of " +
                     std::to_string(m_cameras.size()));
    return answers;
}

std::set<HttpListener> SimFleet::listeners() const
{
    std::set<HttpListener> listeners;
    for (const SimCamera& camera : m_cameras) {
        if (camera.isComputer)
            continue;
        // Where it is, and where a staged change is about to take it.
        for (const NetworkSettings* at : {&camera.settings, &camera.staged}) {
            if (servesHttp(m_options))
                listeners.insert({at->address, servicePort(*at), false});
            if (servesHttps(m_options))
                listeners.insert({at->address, camera.httpsPort, true});
        }
    }
    return listeners;
}

} // namespace tavolix::onvifsim
