#include "ConfigurationRequest.h"

#include "Credentials.h"
#include "Ipv4.h"
#include "MacCodec.h"
#include "ReplyParser.h"
#include "TextLimits.h"

namespace tavolix {
namespace {

std::span<const uint8_t> bytesOf(std::string_view text)
{
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// An address record's value: the four numbers in the order written.
std::array<uint8_t, 4> addressBytes(Ipv4 address)
{
    return {static_cast<uint8_t>(address >> 24), static_cast<uint8_t>(address >> 16),
            static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
}

class RequestComposer final
{
public:
    explicit RequestComposer(const ConfigurationInput& input) : m_input(input), m_writer(m_request)
    {}
    RequestComposer(const RequestComposer&) = delete;
    RequestComposer& operator=(const RequestComposer&) = delete;

    Result<RequestBuffer> compose()
    {
        if (const std::optional<std::string> refusal = appendAll())
            return refused(*refusal);
        return m_request;
    }

private:
    using Refusal = std::optional<std::string>;

    Refusal appendAll()
    {
        if (m_input.login) {
            if (Refusal refused = appendCredentials(*m_input.login))
                return refused;
        }
        m_writer.appendRecord(Tag::Mac, device().mac);
        if (asked().mac && *asked().mac != device().mac)
            m_writer.appendRecord(Tag::Mac, *asked().mac);
        if (Refusal refused = appendChangedTexts())
            return refused;
        appendChangedAddresses();
        appendChangedPort();
        appendNetworkMode();
        return std::nullopt;
    }

    const DeviceRecord& device() const { return m_input.device; }
    const AskedSettings& asked() const { return m_input.asked; }

    Refusal appendCredentials(const ConfigurationLogin& login)
    {
        if (const auto checked = checkLogin(login); !checked)
            return checked.failure().message;
        const std::string encoded =
            encodeCredentials(cutAtCharacterBoundary(login.account, loginFieldSize),
                              cutAtCharacterBoundary(login.password, loginFieldSize));
        m_writer.appendRecord(Tag::Credentials, bytesOf(encoded)); // cut at the record's size
        return std::nullopt;
    }

    // A text that still reads as the device's bytes is unchanged, whatever
    // those bytes are; a changed one goes out in the encoding the device's
    // text was read in.
    Refusal appendChangedTexts()
    {
        const struct
        {
            const std::optional<std::string>& typed;
            std::string_view stored;
            Tag tag;
            const char* refusal;
        } texts[] = {
            {asked().name, fieldText(device().name), Tag::Name,
             "The name has characters the device cannot store !!"},
            {asked().pppoeAccount, fieldText(device().pppoeAccount), Tag::PppoeAccount,
             "The PPPoE account has characters the device cannot store !!"},
            {asked().pppoePassword, fieldText(device().pppoePassword), Tag::PppoePassword,
             "The PPPoE password has characters the device cannot store !!"},
        };
        for (const auto& text : texts) {
            if (!text.typed || *text.typed == deviceTextToUtf8(text.stored, m_input.codePage))
                continue;
            const auto encoded =
                utf8ToDeviceText(*text.typed, text.stored, m_input.codePage, valueSize(text.tag));
            if (!encoded)
                return text.refusal;
            m_writer.appendRecord(text.tag, bytesOf(*encoded));
        }
        return std::nullopt;
    }

    void appendChangedAddresses()
    {
        const struct
        {
            const std::optional<Ipv4>& asked;
            const std::optional<Ipv4>& stored;
            Tag tag;
        } addresses[] = {
            {asked().ipAddress, device().ipAddress, Tag::IpAddress},
            {asked().subnetMask, device().subnetMask, Tag::SubnetMask},
            {asked().gateway, device().gateway, Tag::Gateway},
        };
        for (const auto& address : addresses) {
            if (address.asked && address.asked != address.stored)
                m_writer.appendRecord(address.tag, addressBytes(*address.asked));
        }
    }

    // The port leaves as decimal digits in its five-byte record.
    void appendChangedPort()
    {
        const auto& port = asked().httpPort;
        if (port && *port != device().httpPort)
            m_writer.appendRecord(Tag::HttpPort, bytesOf(std::to_string(*port)));
    }

    void appendNetworkMode()
    {
        const std::array<uint8_t, 4> mode = {
            asked().pppoe ? modeOn : modeOff,
            modeOff,
            asked().dhcp ? modeOn : modeOff,
            modeOff,
        };
        m_writer.appendRecord(Tag::NetworkMode, mode);
    }

    const ConfigurationInput& m_input;
    RequestBuffer m_request{};
    DatagramWriter m_writer;
};

} // namespace

Result<> checkLogin(const ConfigurationLogin& login)
{
    if (login.account.empty())
        return refused("No Account !!");
    if (login.password.empty())
        return refused("No Password !!");
    return Done{};
}

Result<RequestBuffer> composeConfigurationRequest(const ConfigurationInput& input)
{
    return RequestComposer(input).compose();
}

} // namespace tavolix
