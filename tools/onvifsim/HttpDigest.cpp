// The Digest check is the simulator's own, not libcurl's nor libmicrohttpd's: a device
// must decide for itself whether a client's answer is right, and say stale=true after a
// count of requests, which libmicrohttpd cannot.
#include "HttpDigest.h"

#include <algorithm>
#include <array>
#include <memory>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <optional>

namespace tavolix::onvifsim {
namespace {

constexpr std::size_t maximumNonces = 65536;

std::string randomHex(std::size_t bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::vector<unsigned char> random(bytes);
    if (RAND_bytes(random.data(), static_cast<int>(bytes)) != 1)
        random.assign(bytes, 0); // still a nonce; only its unpredictability is lost
    std::string text;
    for (const unsigned char byte : random) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0f];
    }
    return text;
}

// The parameters of `Digest a=b, c="d"`; nullopt if it is not Digest or not readable.
std::optional<std::map<std::string, std::string, std::less<>>>
parseAuthorization(std::string_view text)
{
    constexpr std::string_view scheme = "Digest";
    const auto lower = [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); };
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    if (text.size() <= scheme.size() || text[scheme.size()] != ' ' ||
        !std::equal(scheme.begin(), scheme.end(), text.begin(),
                    [&](char a, char b) { return lower(a) == lower(b); }))
        return std::nullopt;
    std::map<std::string, std::string, std::less<>> parameters;
    std::size_t at = scheme.size();
    const auto skipSpace = [&] {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == ','))
            ++at;
    };
    for (skipSpace(); at < text.size(); skipSpace()) {
        const std::size_t equals = text.find('=', at);
        if (equals == std::string_view::npos)
            return std::nullopt;
        std::string name(text.substr(at, equals - at));
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        for (char& c : name)
            c = lower(c);
        at = equals + 1;
        std::string value;
        if (at < text.size() && text[at] == '"') {
            for (++at; at < text.size() && text[at] != '"'; ++at) {
                if (text[at] == '\\' && at + 1 < text.size())
                    ++at;
                value += text[at];
            }
            if (at == text.size())
                return std::nullopt; // unterminated quote
            ++at;
        } else {
            while (at < text.size() && text[at] != ',' && text[at] != ' ')
                value += text[at++];
        }
        parameters[std::move(name)] = std::move(value);
    }
    return parameters;
}

} // namespace

const char* digestAlgorithmName(DigestAlgorithm algorithm)
{
    return algorithm == DigestAlgorithm::Md5 ? "MD5" : "SHA-256";
}

std::string digestHex(DigestAlgorithm algorithm, std::string_view text)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::array<unsigned char, EVP_MAX_MD_SIZE> hash{};
    unsigned length = 0;
    if (EVP_Digest(text.data(), text.size(), hash.data(), &length,
                   algorithm == DigestAlgorithm::Md5 ? EVP_md5() : EVP_sha256(), nullptr) != 1)
        return {}; // matches no response a client sends
    std::string hex;
    for (unsigned i = 0; i < length; ++i) {
        hex += digits[hash[i] >> 4];
        hex += digits[hash[i] & 0x0f];
    }
    return hex;
}

const char* digestVerdictText(DigestVerdict verdict)
{
    switch (verdict) {
    case DigestVerdict::Accepted:
        return "accepted";
    case DigestVerdict::Missing:
        return "no-login";
    case DigestVerdict::Malformed:
        return "malformed";
    case DigestVerdict::NotOffered:
        return "algorithm-not-offered";
    case DigestVerdict::WrongUser:
        return "wrong-user";
    case DigestVerdict::WrongUri:
        return "wrong-uri";
    case DigestVerdict::UnknownNonce:
        return "unknown-nonce";
    case DigestVerdict::Stale:
        return "stale-nonce";
    case DigestVerdict::WrongPassword:
        return "wrong-password";
    }
    return "?";
}

DigestGate::DigestGate(std::vector<DigestAlgorithm> offered, int staleAfter)
    : m_offered(std::move(offered)), m_staleAfter(staleAfter), m_opaque(randomHex(16))
{}

DigestCheck DigestGate::check(std::string_view authorization, std::string_view method,
                              std::string_view path, std::string_view user,
                              std::string_view password)
{
    DigestCheck result;
    const auto parameters = parseAuthorization(authorization);
    if (!parameters) {
        result.verdict = DigestVerdict::Missing;
        return result;
    }
    const auto value = [&](std::string_view name) -> std::string {
        const auto found = parameters->find(name);
        return found == parameters->end() ? std::string() : found->second;
    };
    const std::string algorithmName = value("algorithm");
    if (algorithmName.empty() || algorithmName == "MD5") {
        result.algorithm = DigestAlgorithm::Md5;
    } else if (algorithmName == "SHA-256") {
        result.algorithm = DigestAlgorithm::Sha256;
    } else {
        result.verdict = DigestVerdict::NotOffered;
        return result;
    }
    const std::string nonce = value("nonce"), uri = value("uri"), response = value("response"),
                      nc = value("nc"), cnonce = value("cnonce");
    if (std::find(m_offered.begin(), m_offered.end(), result.algorithm) == m_offered.end())
        result.verdict = DigestVerdict::NotOffered;
    else if (nonce.empty() || uri.empty() || response.empty() || nc.empty() || cnonce.empty() ||
             value("qop") != "auth")
        result.verdict = DigestVerdict::Malformed;
    else if (value("username") != user || value("realm") != realm)
        result.verdict = DigestVerdict::WrongUser;
    else if (uri != path)
        result.verdict = DigestVerdict::WrongUri;
    else if (!m_uses.contains(nonce))
        result.verdict = DigestVerdict::UnknownNonce;
    else if (m_staleAfter > 0 && m_uses[nonce] >= m_staleAfter)
        result.verdict = DigestVerdict::Stale;
    else {
        const DigestAlgorithm a = result.algorithm;
        const std::string expected =
            digestHex(a, digestHex(a, std::string(user) + ":" + std::string(realm) + ":" +
                                          std::string(password)) +
                             ":" + nonce + ":" + nc + ":" + cnonce +
                             ":auth:" + digestHex(a, std::string(method) + ":" + uri));
        result.verdict =
            response == expected ? DigestVerdict::Accepted : DigestVerdict::WrongPassword;
        if (result.verdict == DigestVerdict::Accepted)
            ++m_uses[nonce];
    }
    return result;
}

std::vector<std::string> DigestGate::challenges(bool stale)
{
    const std::string nonce = randomHex(16);
    m_uses.emplace(nonce, 0);
    m_issued.push_back(nonce);
    if (m_issued.size() > maximumNonces) {
        m_uses.erase(m_issued.front());
        m_issued.pop_front();
    }
    std::vector<std::string> list;
    for (const DigestAlgorithm algorithm : m_offered)
        list.push_back("Digest realm=\"" + std::string(realm) + "\", qop=\"auth\", nonce=\"" +
                       nonce + "\", opaque=\"" + m_opaque + "\", algorithm=" +
                       digestAlgorithmName(algorithm) + (stale ? ", stale=true" : ""));
    return list;
}

} // namespace tavolix::onvifsim
