#include "SelfSignedCertificate.h"

#include <functional>
#include <memory>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

namespace tavolix::onvifsim {
namespace {

template <typename T, void (*Free)(T*)> struct OpenSslFree
{
    void operator()(T* pointer) const { Free(pointer); }
};
using Key = std::unique_ptr<EVP_PKEY, OpenSslFree<EVP_PKEY, EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, OpenSslFree<X509, X509_free>>;
using Bio = std::unique_ptr<BIO, OpenSslFree<BIO, BIO_free_all>>;
using Extension = std::unique_ptr<X509_EXTENSION, OpenSslFree<X509_EXTENSION, X509_EXTENSION_free>>;

constexpr long validSeconds = 10L * 365 * 24 * 3600;

std::optional<std::string> pemText(const std::function<int(BIO*)>& write)
{
    const Bio bio(BIO_new(BIO_s_mem()));
    if (!bio || write(bio.get()) != 1)
        return std::nullopt;
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(length));
}

bool addExtension(X509* certificate, int nid, const std::string& value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    const Extension extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str()));
    return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

} // namespace

std::optional<PemPair> makeSelfSignedCertificate(const std::vector<Ipv4>& addresses,
                                                 const std::string& host)
{
    const Key key(EVP_EC_gen("P-256"));
    const Certificate certificate(X509_new());
    if (!key || !certificate)
        return std::nullopt;
    std::string names = "DNS:onvifsim";
    for (const Ipv4 address : addresses)
        names += ",IP:" + ipv4Text(address);
    if (!host.empty())
        names +=
            (host.find_first_not_of("0123456789.") == std::string::npos ? ",IP:" : ",DNS:") + host;
    X509_NAME* subject = X509_get_subject_name(certificate.get());
    if (X509_set_version(certificate.get(), 2) != 1 ||
        ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), 1) != 1 ||
        !X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600) ||
        !X509_gmtime_adj(X509_getm_notAfter(certificate.get()), validSeconds) ||
        X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("onvifsim"), -1, -1,
                                   0) != 1 ||
        X509_set_issuer_name(certificate.get(), subject) != 1 ||
        X509_set_pubkey(certificate.get(), key.get()) != 1 ||
        !addExtension(certificate.get(), NID_subject_alt_name, names) ||
        !addExtension(certificate.get(), NID_basic_constraints, "critical,CA:FALSE") ||
        X509_sign(certificate.get(), key.get(), EVP_sha256()) == 0)
        return std::nullopt;
    auto keyPem = pemText([&](BIO* bio) {
        return PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    });
    auto certificatePem =
        pemText([&](BIO* bio) { return PEM_write_bio_X509(bio, certificate.get()); });
    if (!keyPem || !certificatePem)
        return std::nullopt;
    return PemPair{std::move(*keyPem), std::move(*certificatePem)};
}

} // namespace tavolix::onvifsim
