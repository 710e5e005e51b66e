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
std::optional<std::array<uint8_t, 4>> addressBytes(std::string_view text)
{
    const auto address = parseIpv4(text);
    if (!address)
        return std::nullopt;
    return std::array<uint8_t, 4>{
        static_cast<uint8_t>(*address >> 24), static_cast<uint8_t>(*address >> 16),
        static_cast<uint8_t>(*address >> 8), static_cast<uint8_t>(*address)};
}

// A port as the user typed it: 1 to 5 decimal digits, value 1..65535.
bool isPortText(std::string_view text)
{
    if (text.empty() || text.size() > valueSize(Tag::HttpPort))
        return false;
    long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535;
}

class RequestComposer final
{
public:
    explicit RequestComposer(const ConfigurationInput& input) : m_input(input), m_writer(m_request)
    {}
    RequestComposer(const RequestComposer&) = delete;
    RequestComposer& operator=(const RequestComposer&) = delete;

    ComposedConfiguration compose()
    {
        const std::optional<std::string> refusal = appendAll();
        if (refusal)
            return ConfigurationRefusal{*refusal};
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
        if (Refusal refused = appendNewMac())
            return refused;
        if (Refusal refused = appendChangedTexts())
            return refused;
        if (Refusal refused = appendChangedAddresses())
            return refused;
        if (Refusal refused = appendChangedPort())
            return refused;
        appendNetworkMode();
        return std::nullopt;
    }

    const DeviceRecord& device() const { return m_input.device; }
    const AskedSettings& asked() const { return m_input.asked; }

    Refusal appendCredentials(const ConfigurationLogin& login)
    {
        if (const auto refused = refusedLogin(login))
            return refused->reason;
        const std::string encoded =
            encodeCredentials(cutAtCharacterBoundary(login.account, loginFieldSize),
                              cutAtCharacterBoundary(login.password, loginFieldSize));
        m_writer.appendRecord(Tag::Credentials, bytesOf(encoded)); // cut at the record's size
        return std::nullopt;
    }

    // A typed MAC that is no address is refused, never dropped: the user
    // meant to change it, and the rest alone would be applied unasked.
    Refusal appendNewMac()
    {
        if (!asked().mac)
            return std::nullopt;
        const auto newMac = textToMac(*asked().mac);
        if (!newMac)
            return "Invalid MAC address !!";
        if (*newMac != device().mac)
            m_writer.appendRecord(Tag::Mac, *newMac);
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

    Refusal appendChangedAddresses()
    {
        const struct
        {
            const std::optional<std::string>& typed;
            std::string_view stored;
            Tag tag;
            const char* refusal;
        } addresses[] = {
            {asked().ipAddress, fieldText(device().ipAddress), Tag::IpAddress,
             "Invalid IP address !!"},
            {asked().subnetMask, fieldText(device().subnetMask), Tag::SubnetMask,
             "Invalid subnet mask !!"},
            {asked().gateway, fieldText(device().gateway), Tag::Gateway, "Invalid gateway !!"},
        };
        for (const auto& address : addresses) {
            if (!address.typed || *address.typed == address.stored)
                continue;
            const auto bytes = addressBytes(*address.typed);
            if (!bytes)
                return address.refusal;
            m_writer.appendRecord(address.tag, *bytes);
        }
        return std::nullopt;
    }

    // The port leaves as the digits typed, in its five-byte record.
    Refusal appendChangedPort()
    {
        const auto& typed = asked().httpPort;
        if (!typed || leadingNumber(*typed) == device().httpPort)
            return std::nullopt;
        if (!isPortText(*typed))
            return "Invalid HTTP port !!";
        m_writer.appendRecord(Tag::HttpPort, bytesOf(*typed));
        return std::nullopt;
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

std::optional<ConfigurationRefusal> refusedLogin(const ConfigurationLogin& login)
{
    if (login.account.empty())
        return ConfigurationRefusal{"No Account !!"};
    if (login.password.empty())
        return ConfigurationRefusal{"No Password !!"};
    return std::nullopt;
}

ComposedConfiguration composeConfigurationRequest(const ConfigurationInput& input)
{
    return RequestComposer(input).compose();
}

} // namespace tavolix
