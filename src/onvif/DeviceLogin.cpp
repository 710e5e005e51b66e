#include "DeviceLogin.h"

#include "DeviceResponses.h"
#include "HttpChallenge.h"

namespace tavolix::onvif {

std::optional<LoginScheme> digestSent(std::string_view authorization)
{
    const auto challenges = parseChallenges(authorization);
    if (!challenges || challenges->empty() || challenges->front().scheme != "digest")
        return std::nullopt;
    switch (challenges->front().algorithm.value_or(DigestAlgorithm{0xff})) {
    case DigestAlgorithm::Md5:
    case DigestAlgorithm::Md5Sess:
        return LoginScheme::DigestMd5;
    case DigestAlgorithm::Sha256:
    case DigestAlgorithm::Sha256Sess:
        return LoginScheme::DigestSha256;
    }
    return LoginScheme::Unknown;
}

Operation DeviceLogin::answering(const DeviceCall& call) const
{
    return m_reading ? Operation::GetSystemDateAndTime : call.operation;
}

Result<HttpPost> DeviceLogin::post(const std::string& url, const DeviceCall& call) const
{
    const DeviceCall sent = m_reading ? getSystemDateAndTime() : call;
    HttpPost post{url, {}, sent.action(), callTimeout, std::nullopt};
    const bool token = m_login.has_value() &&
                       (m_reading ? m_clockWithToken : m_scheme == LoginScheme::UsernameToken);
    if (!token) {
        post.body = requestEnvelope(sent);
        if (m_login.has_value())
            post.digest = HttpLogin{m_login->account, m_login->password};
        return post;
    }
    const auto stamp = freshStamp(m_offset.value_or(std::chrono::seconds{0}));
    if (!stamp)
        return stamp.failure();
    post.body = requestEnvelope(sent, *m_login, *stamp);
    return post;
}

void DeviceLogin::readClock(const HttpAnswer& answer)
{
    if (const auto clock = parseSystemDateAndTime(answer.body))
        m_offset = clockOffset(*clock, SystemClock::now());
    else if (answer.date)
        m_offset = clockOffset(*answer.date, SystemClock::now()); // the last resort
}

DeviceLogin::Step DeviceLogin::take(const HttpResult& result, const std::optional<SoapFault>& fault)
{
    if (!result.answer)
        return Step::Answered;
    const HttpAnswer& answer = *result.answer;
    if (m_reading)
        readClock(answer);
    const auto digest = digestSent(answer.authorization);
    const bool refusal = answer.status == 401 || (fault && fault->isNotAuthorized());
    if (digest) {
        m_scheme = *digest; // also when refused: the row says which login failed
        if (refusal)
            return Step::Refused; // the credentials were sent: no reason to try a token
    }
    const bool undecided = m_scheme == LoginScheme::Unknown || m_scheme == LoginScheme::None ||
                           m_scheme == LoginScheme::UsernameToken;
    const bool tokenWanted = m_login.has_value() && !digest && undecided &&
                             ((fault && fault->isNotAuthorized()) ||
                              (answer.status == 401 && !offersUsableDigest(answer.challenges)));
    if (m_reading)
        return takeClock(answer, fault, tokenWanted, refusal);
    if (!refusal || !m_login) {
        if (m_login.has_value() && m_scheme == LoginScheme::Unknown && answer.status / 100 == 2 &&
            !fault)
            m_scheme = LoginScheme::None; // asked nothing for a call that wants a login
        return Step::Answered;
    }
    if (m_scheme == LoginScheme::UsernameToken) { // the token was refused
        if (m_reread)
            return Step::Refused;
        m_reading = m_reread = true;
        m_clockWithToken = false;
        return Step::Resend;
    }
    if (!tokenWanted)
        return Step::Refused;
    m_scheme = LoginScheme::UsernameToken;
    return Step::Resend;
}

DeviceLogin::Step DeviceLogin::takeClock(const HttpAnswer& answer,
                                         const std::optional<SoapFault>& fault, bool tokenWanted,
                                         bool refusal)
{
    if (tokenWanted) {
        if (m_clockWithToken)
            return Step::Refused;
        // Asked again with a token, made in the time of this refusal's Date.
        m_clockWithToken = true;
        m_scheme = LoginScheme::UsernameToken;
        return Step::Resend;
    }
    if (refusal && m_login.has_value())
        return Step::Refused;
    // Not the clock (a fault, a proxy's page): the caller says why.
    if (fault || answerProblem(answer.status, answer.body, Operation::GetSystemDateAndTime))
        return Step::Answered;
    m_reading = false;
    return Step::Resend;
}

} // namespace tavolix::onvif
