#include "DeviceReads.h"

#include <vector>

namespace tavolix::onvif {
namespace {

// What a login lets a search read after the clock, in this order, and where
// each answer goes.
struct LoginRead
{
    DeviceCall call;
    void (*store)(OnvifDevice&, std::string_view answer);
};

const std::vector<LoginRead>& loginReads()
{
    static const std::vector<LoginRead> reads = {
        {getDeviceInformation(),
         [](OnvifDevice& d, std::string_view a) { d.information = parseDeviceInformation(a); }},
        {getNetworkInterfaces(),
         [](OnvifDevice& d, std::string_view a) { d.interfaces = parseNetworkInterfaces(a); }},
        {getNetworkDefaultGateway(),
         [](OnvifDevice& d, std::string_view a) { d.gateways = parseNetworkDefaultGateway(a); }},
        {getNetworkProtocols(),
         [](OnvifDevice& d, std::string_view a) { d.protocols = parseNetworkProtocols(a); }},
        {getScopes(), [](OnvifDevice& d, std::string_view a) { d.scopes = parseScopes(a); }},
    };
    return reads;
}

const std::string refusedLogin = "the device refused the login";

} // namespace

DeviceReads::DeviceReads(OnvifDevice device, const std::optional<Login>& login)
    : m_device(std::move(device)), m_negotiation(login)
{}

NextCall DeviceReads::next()
{
    if (!m_negotiation.reading() && (!m_negotiation.hasLogin() || m_step == loginReads().size())) {
        m_done = true;
        return std::nullopt;
    }
    auto post = m_negotiation.post(m_device.service.url, loginReads().at(m_step).call);
    if (!post)
        return end(post.failure().message);
    return std::move(*post);
}

NextCall DeviceReads::end(std::string problem)
{
    m_device.problem = std::move(problem);
    m_done = true;
    return std::nullopt;
}

void DeviceReads::giveUp(const Failure& failure)
{
    end(m_device.service.url + ": " + failure.message);
}

NextCall DeviceReads::take(const HttpResult& result)
{
    const Operation operation = m_negotiation.answering(loginReads().at(m_step).call);
    const auto fault = result.answer ? parseFault(result.answer->body) : std::nullopt;
    const DeviceLogin::Step step = m_negotiation.take(result, fault);
    m_device.clockOffset = m_negotiation.offset();
    m_device.login = m_negotiation.scheme();
    if (step == DeviceLogin::Step::Resend)
        return next();
    if (step == DeviceLogin::Step::Refused)
        return end(refusedLogin);
    if (!result.answer)
        return end(m_device.service.url + ": " + result.answer.failure().message);
    if ((fault && fault->isNotAuthorized()) || result.answer->status == 401)
        return end(refusedLogin);
    if (fault)
        return end("the device refused a read: " + fault->reason);
    if (const auto problem = answerProblem(result.answer->status, result.answer->body, operation))
        return end(*problem);
    loginReads().at(m_step++).store(m_device, result.answer->body);
    return next();
}

} // namespace tavolix::onvif
