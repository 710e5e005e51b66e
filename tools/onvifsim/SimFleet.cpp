#include "SimFleet.h"

#include "Probe.h"

namespace tavolix::onvifsim {
namespace {

std::string endpointText(const NetworkSettings& settings)
{
    return ipv4Text(settings.address) + "/" + std::to_string(settings.prefixLength) + ":" +
           std::to_string(settings.httpPort);
}

} // namespace

SimFleet::SimFleet(const OnvifSimOptions& options, AddressMover mover, LineSink transcript,
                   Clock clock)
    : m_options(options), m_mover(std::move(mover)), m_transcript(std::move(transcript)),
      m_clock(std::move(clock))
{
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
        if (camera.settings.address == local && camera.settings.httpPort == port)
            return &camera;
    }
    return nullptr;
}

HttpAnswer SimFleet::serve(Ipv4 local, uint16_t port, std::string_view method,
                           std::string_view path, std::string_view body)
{
    HttpAnswer answer;
    answer.contentType = "text/plain";
    SimCamera* camera = cameraAt(local, port);
    const std::string where = ipv4Text(local) + ":" + std::to_string(port);
    if (!camera || camera->isComputer || path != "/onvif/device_service") {
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
    const ServiceContext context{m_options.user, m_options.password,
                                 m_clock() + std::chrono::seconds(m_options.clockOffsetSeconds),
                                 m_options.rebootNeeded};
    const CallOutcome outcome = handleDeviceCall(*camera, body, context);
    m_transcript("call " + macText(camera->mac, '\0') + " " + outcome.call + " " + outcome.note);
    answer.status = outcome.httpStatus;
    answer.body = outcome.reply;
    answer.contentType = "application/soap+xml; charset=utf-8";
    if (outcome.commitAfterReply)
        answer.commitAfterReply = camera;
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
            {camera.settings.address,
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

std::set<uint16_t> SimFleet::httpPorts() const
{
    std::set<uint16_t> ports;
    for (const SimCamera& camera : m_cameras) {
        if (!camera.isComputer)
            ports.insert(camera.settings.httpPort);
    }
    return ports;
}

} // namespace tavolix::onvifsim
