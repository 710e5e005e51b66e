#include "DeviceClock.h"

#include "DeviceResponses.h"

namespace tavolix::onvif {

Operation DeviceClock::answering(const DeviceCall& call) const
{
    return m_reading ? Operation::GetSystemDateAndTime : call.operation;
}

Result<HttpPost> DeviceClock::post(const std::string& url, const DeviceCall& call,
                                   const Login* login) const
{
    if (m_reading || login == nullptr) {
        const DeviceCall sent = m_reading ? getSystemDateAndTime() : call;
        return HttpPost{url, requestEnvelope(sent), sent.action(), callTimeout};
    }
    const auto stamp = freshStamp(m_offset);
    if (!stamp)
        return stamp.failure();
    return HttpPost{url, requestEnvelope(call, *login, *stamp), call.action(), callTimeout};
}

bool DeviceClock::retries(const HttpResult& result, const std::optional<SoapFault>& fault,
                          bool failed)
{
    if (m_reading) {
        if (failed)
            return false;
        if (const auto clock = parseSystemDateAndTime(result.answer->body))
            m_offset = clockOffset(*clock, SystemClock::now());
        m_reading = false;
        return true;
    }
    if (fault && fault->isNotAuthorized() && !m_reread) {
        m_reading = m_reread = true;
        return true;
    }
    return false;
}

} // namespace tavolix::onvif
