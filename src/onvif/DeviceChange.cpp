#include "DeviceChange.h"

#include "DeviceResponses.h"

#include <utility>

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

std::string DeviceChange::failureText(const std::string& rest) const
{
    std::string text = macToText(m_mac) + ": ";
    for (const std::string& taken : m_taken)
        text += taken + ", ";
    return text + rest;
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
    m_outcome = ChangeOutcome{m_mac, state, std::move(message), !m_taken.empty()};
    return std::nullopt;
}

void DeviceChange::giveUp(const Failure& failure)
{
    fail(failureText(operationText() + " not sent: " + failure.message));
}

NextCall DeviceChange::take(const HttpResult& result)
{
    const Operation operation = m_login.answering(m_calls.at(m_next).call);
    if (!result.answer) {
        if (!result.requestSent && m_portBefore) {
            // The service did not move with its port: it is still where it was.
            m_service = *std::exchange(m_portBefore, std::nullopt);
            return next();
        }
        // A device may move, or go down, before its answer is out: sent, not
        // confirmed, and the verification sees whether it took the change.
        // One that never got the request cannot have taken it.
        if (result.requestSent && (operation == Operation::SetNetworkInterfaces ||
                                   operation == Operation::SystemReboot)) {
            m_taken.push_back(operationText() + " sent (not confirmed)");
            m_ended = true;
            return std::nullopt;
        }
        return fail(failureText(operationText() +
                                (result.requestSent ? " unanswered: " : " not sent: ") +
                                result.answer.failure().message));
    }
    m_portBefore.reset(); // the service answered where it was asked
    const auto fault = parseFault(result.answer->body);
    const DeviceLogin::Step step = m_login.take(result, fault);
    if (step == DeviceLogin::Step::Resend)
        return next(); // the clock read again, or the refused call again
    if (step == DeviceLogin::Step::Refused)
        return fail(failureText("the device refused the login"));
    if (fault)
        return fail(failureText(operationText() + " refused: " + fault->reason));
    if (const auto problem = answerProblem(result.answer->status, result.answer->body, operation))
        return fail(failureText(operationText() + ": " + *problem));
    const ChangeCall& answered = m_calls[m_next];
    m_taken.push_back(operationText() + " taken");
    if (answered.portAfter != 0) {
        // Followed only where it moves: tried there first, and where it was on a refusal.
        m_portBefore = m_service;
        m_service = withPort(m_service, answered.portAfter);
    }
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
