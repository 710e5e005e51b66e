#include "HttpChallenge.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace tavolix::onvif {
namespace {

bool isTokenChar(char c)
{
    static constexpr std::string_view marks = "!#$%&'*+-.^_`|~";
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           marks.find(c) != std::string_view::npos;
}

std::string lowered(std::string_view text)
{
    std::string low(text);
    std::ranges::transform(low, low.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return low;
}

std::optional<DigestAlgorithm> algorithmNamed(std::string_view name)
{
    static constexpr std::array<std::pair<std::string_view, DigestAlgorithm>, 4> known = {{
        {"md5", DigestAlgorithm::Md5},
        {"md5-sess", DigestAlgorithm::Md5Sess},
        {"sha-256", DigestAlgorithm::Sha256},
        {"sha-256-sess", DigestAlgorithm::Sha256Sess},
    }};
    const std::string low = lowered(name);
    for (const auto& [text, algorithm] : known) {
        if (low == text)
            return algorithm;
    }
    return std::nullopt;
}

// The qop list: tokens between commas and blanks.
std::vector<std::string> qopValues(std::string_view list)
{
    std::vector<std::string> values;
    std::string current;
    for (const char c : std::string(list) + ",") {
        if (c == ',' || c == ' ' || c == '\t') {
            if (!current.empty())
                values.push_back(lowered(std::exchange(current, {})));
        } else {
            current += c;
        }
    }
    return values;
}

void apply(HttpChallenge& challenge, const std::string& name, std::string value)
{
    if (name == "realm")
        challenge.realm = std::move(value);
    else if (name == "nonce")
        challenge.nonce = std::move(value);
    else if (name == "algorithm")
        challenge.algorithm = algorithmNamed(value);
    else if (name == "qop")
        challenge.qop = qopValues(value);
    else if (name == "stale")
        challenge.stale = lowered(value) == "true";
}

// A cursor over the header value; every read bounded by its end.
class Reader final
{
public:
    explicit Reader(std::string_view text) : m_text(text) {}

    bool atEnd() const { return m_at == m_text.size(); }
    char peek() const { return atEnd() ? '\0' : m_text[m_at]; }
    std::size_t at() const { return m_at; }

    void skipBlanks()
    {
        while (peek() == ' ' || peek() == '\t')
            ++m_at;
    }
    bool take(char c)
    {
        if (atEnd() || peek() != c)
            return false;
        ++m_at;
        return true;
    }
    // A token68 ("YWxh/ZGRp==") standing alone in its list element, skipped;
    // false, and nothing read, when none is there.
    bool skipToken68()
    {
        static constexpr std::string_view marks = "-._~+/";
        std::size_t end = m_at;
        while (end < m_text.size() && (std::isalnum(static_cast<unsigned char>(m_text[end])) ||
                                       marks.find(m_text[end]) != std::string_view::npos))
            ++end;
        if (end == m_at)
            return false;
        while (end < m_text.size() && m_text[end] == '=')
            ++end;
        std::size_t after = end;
        while (after < m_text.size() && (m_text[after] == ' ' || m_text[after] == '\t'))
            ++after;
        if (after != m_text.size() && m_text[after] != ',')
            return false;
        m_at = after;
        return true;
    }
    std::string_view token()
    {
        const std::size_t from = m_at;
        while (!atEnd() && isTokenChar(m_text[m_at]))
            ++m_at;
        return m_text.substr(from, m_at - from);
    }
    // A quoted string after its opening quote, unescaped; nothing when it
    // never closes.
    std::optional<std::string> quotedRest()
    {
        std::string value;
        while (!atEnd()) {
            const char c = m_text[m_at++];
            if (c == '"')
                return value;
            if (c == '\\') {
                if (atEnd())
                    return std::nullopt;
                value += m_text[m_at++];
            } else {
                value += c;
            }
        }
        return std::nullopt;
    }

private:
    std::string_view m_text;
    std::size_t m_at = 0;
};

Failure malformed(const Reader& reader)
{
    return refused("malformed authentication header at byte " + std::to_string(reader.at()));
}

} // namespace

bool HttpChallenge::usableDigest() const
{
    return scheme == "digest" && !nonce.empty() && algorithm.has_value() &&
           (qop.empty() || std::ranges::find(qop, "auth") != qop.end());
}

Result<std::vector<HttpChallenge>> parseChallenges(std::string_view value)
{
    if (value.size() > maxChallengeBytes)
        return refused("an authentication header longer than " + std::to_string(maxChallengeBytes) +
                       " bytes");
    std::vector<HttpChallenge> challenges;
    std::size_t parameters = 0;
    Reader reader(value);
    while (true) {
        // Empty list elements are allowed: ", ,".
        do
            reader.skipBlanks();
        while (reader.take(','));
        if (reader.atEnd())
            return challenges;
        const std::string name = lowered(reader.token());
        if (name.empty())
            return malformed(reader);
        reader.skipBlanks();
        if (!reader.take('=')) {
            // A scheme begins the next challenge; its first parameter (or
            // token68) may follow on the same element.
            if (challenges.size() == maxChallenges)
                return refused("more than " + std::to_string(maxChallenges) + " challenges");
            challenges.emplace_back().scheme = name;
            parameters = 0;
            reader.skipToken68();
            continue;
        }
        if (challenges.empty())
            return malformed(reader);
        reader.skipBlanks();
        std::string parameter;
        if (reader.take('"')) {
            auto quoted = reader.quotedRest();
            if (!quoted)
                return malformed(reader);
            parameter = std::move(*quoted);
        } else {
            parameter = reader.token();
            if (parameter.empty())
                return malformed(reader);
        }
        if (++parameters > maxChallengeParameters)
            return refused("a challenge with more than " + std::to_string(maxChallengeParameters) +
                           " parameters");
        apply(challenges.back(), name, std::move(parameter));
        reader.skipBlanks();
        if (!reader.atEnd() && reader.peek() != ',')
            return malformed(reader);
    }
}

bool offersUsableDigest(const std::vector<std::string>& values)
{
    return std::ranges::any_of(values, [](const std::string& value) {
        const auto challenges = parseChallenges(value);
        return challenges && std::ranges::any_of(*challenges, &HttpChallenge::usableDigest);
    });
}

} // namespace tavolix::onvif
