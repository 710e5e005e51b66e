#include "DeviceChange.h"

#include "DeviceResponses.h"

namespace tavolix::onvif {

DeviceChange::DeviceChange(const MacAddress& mac, const OnvifDevice& device,
                           std::vector<ChangeCall> calls, const ChangeOptions& options)
    : m_mac(mac), m_service(device.service), m_reboot(options.reboot),
      m_login(options.login, device.clockOffset, device.login), m_calls(std::move(calls))
{}

std::string DeviceChange::operationText() const
{
    return std::string(operationName(m_login.answering(m_calls.at(m_next).call)));
}

NextCall DeviceChange::next()
{
    if (m_next == m_calls.size()) {
        m_ended = true;
        return std::nullopt;
    }
    auto post = m_login.post(m_service.url, m_calls[m_next].call);
    if (!post)
        return fail(macToText(m_mac) + ": " + post.failure().message);
    return std::move(*post);
}

NextCall DeviceChange::fail(std::string message, ChangeOutcome::State state)
{
    m_ended = true;
    m_outcome = ChangeOutcome{m_mac, state, std::move(message)};
    return std::nullopt;
}

void DeviceChange::giveUp(const Failure& failure)
{
    fail(macToText(m_mac) + ": " + operationText() + ": " + failure.message);
}

NextCall DeviceChange::take(const HttpResult& result)
{
    const Operation operation = m_login.answering(m_calls.at(m_next).call);
    const std::string mac = macToText(m_mac) + ": ";
    if (!result.answer) {
        // A device may move, or go down, before its answer is out; the
        // verification sees whether it took the change.
        if (operation == Operation::SetNetworkInterfaces || operation == Operation::SystemReboot) {
            m_ended = true;
            return std::nullopt;
        }
        return fail(mac + operationText() + ": " + result.answer.failure().message);
    }
    const auto fault = parseFault(result.answer->body);
    const DeviceLogin::Step step = m_login.take(result, fault);
    if (step == DeviceLogin::Step::Resend)
        return next(); // the clock read again, or the refused call again
    if (step == DeviceLogin::Step::Refused)
        return fail(mac + "the device refused the login");
    if (fault)
        return fail(mac + "the device refused " + operationText() + ": " + fault->reason);
    if (const auto problem = answerProblem(result.answer->status, result.answer->body, operation))
        return fail(mac + operationText() + ": " + *problem);
    const ChangeCall& answered = m_calls[m_next];
    if (answered.portAfter != 0)
        m_service = withPort(m_service, answered.portAfter);
    if (operation == Operation::SetNetworkInterfaces &&
        parseRebootNeeded(result.answer->body) == true) {
        if (!m_reboot)
            return fail({}, ChangeOutcome::State::NeedsReboot);
        m_calls.push_back({systemReboot()});
    }
    ++m_next;
    return next();
}

} // namespace tavolix::onvif
