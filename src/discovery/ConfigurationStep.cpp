#include "ConfigurationStep.h"

#include "Credentials.h"
#include "Datagram.h"
#include "DeviceText.h"
#include "MacCodec.h"
#include "ReplyParser.h"
#include "TextLimits.h"
#include "WorkerControl.h"
#include "WorkerUi.h"

#include <arpa/inet.h>
#include <cstring>
#include <string>

namespace tavolix {
namespace {

constexpr std::string_view messageCaption = "NVR";

// Field texts pass through a 256-byte scratch area: 255 bytes at most.
constexpr std::size_t scratchCapacity = 255;
// The login account and password are kept in 16-byte copies.
constexpr std::size_t loginCapacity = 16;
constexpr std::size_t credentialsSize = 32;

std::string readField(WorkerUi& ui, WorkerField field)
{
    return std::string(cutAtCharacterBoundary(ui.fieldText(field), scratchCapacity));
}

std::span<const uint8_t> bytesOf(std::string_view text)
{
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// A text record's value: the text cut at the value size, never inside a character.
bool appendText(DatagramWriter& writer, Tag tag, std::string_view text)
{
    return writer.appendRecord(tag, bytesOf(cutAtCharacterBoundary(text, templateFor(tag).size)));
}

// Strict dotted-decimal IPv4: four numbers 0..255, nothing else.
std::optional<std::array<uint8_t, 4>> parseAddress(const std::string& text)
{
    in_addr address{};
    if (::inet_pton(AF_INET, text.c_str(), &address) != 1)
        return std::nullopt;
    std::array<uint8_t, 4> bytes{};
    std::memcpy(bytes.data(), &address.s_addr, bytes.size()); // already in network order
    return bytes;
}

// A port as the user typed it: 1 to 5 decimal digits, value 1..65535.
bool isPortText(std::string_view text)
{
    if (text.empty() || text.size() > 5)
        return false;
    long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535;
}

struct AddressField
{
    WorkerField field;
    std::array<char, 16> DeviceRecord::*stored;
    Tag tag;
    std::string_view refusal;
};

constexpr AddressField addressFields[] = {
    {WorkerField::IpAddress, &DeviceRecord::ipAddress, Tag::IpAddress, "Invalid IP address !!"},
    {WorkerField::SubnetMask, &DeviceRecord::subnetMask, Tag::SubnetMask, "Invalid subnet mask !!"},
    {WorkerField::Gateway, &DeviceRecord::gateway, Tag::Gateway, "Invalid gateway !!"},
};

class ConfigurationComposer final
{
public:
    ConfigurationComposer(WorkerControl& control, WorkerUi& ui, DatagramWriter& writer)
        : m_control(control), m_ui(ui), m_writer(writer)
    {}
    ConfigurationComposer(const ConfigurationComposer&) = delete;
    ConfigurationComposer& operator=(const ConfigurationComposer&) = delete;

    ConfigurationOutcome compose()
    {
        if (m_ui.isFieldVisible(WorkerField::LoginAccount)) {
            if (const auto outcome = appendCredentials(); outcome != ConfigurationOutcome::Composed)
                return outcome;
        }
        const auto target = findTarget();
        if (!target)
            return ConfigurationOutcome::FallBackToSearch;
        m_writer.appendRecord(Tag::Mac, target->mac);
        appendNewMac(*target);
        if (const auto outcome = appendChangedTexts(*target);
            outcome != ConfigurationOutcome::Composed)
            return outcome;
        if (const auto outcome = appendChangedAddresses(*target);
            outcome != ConfigurationOutcome::Composed)
            return outcome;
        if (const auto outcome = appendChangedPort(*target);
            outcome != ConfigurationOutcome::Composed)
            return outcome;
        appendNetworkMode();
        return ConfigurationOutcome::Composed;
    }

private:
    // Shows an error box and tells what follows it: the given outcome, or the
    // end of the worker when it was stopped meanwhile.
    ConfigurationOutcome complain(std::string_view text, ConfigurationOutcome outcome)
    {
        m_ui.showMessageBox(messageCaption, text);
        return m_control.stop.load() != 0 ? ConfigurationOutcome::Stopped : outcome;
    }

    ConfigurationOutcome appendCredentials()
    {
        const std::string account = readField(m_ui, WorkerField::LoginAccount);
        if (account.empty())
            return complain("No Account !!", ConfigurationOutcome::Refused);
        const std::string password = readField(m_ui, WorkerField::LoginPassword);
        if (password.empty())
            return complain("No Password !!", ConfigurationOutcome::Refused);
        const std::string encoded =
            encodeCredentials(cutAtCharacterBoundary(account, loginCapacity),
                              cutAtCharacterBoundary(password, loginCapacity));
        m_writer.appendRecord(Tag::Credentials,
                              bytesOf(std::string_view(encoded).substr(0, credentialsSize)));
        return ConfigurationOutcome::Composed;
    }

    // The device the MAC group caption names: the first slot, empty ones
    // included, whose address text equals the caption.
    std::optional<DeviceRecord> findTarget()
    {
        const std::string caption = readField(m_ui, WorkerField::MacGroupCaption);
        for (int number = 1; number <= DeviceTable::slotCount; ++number) {
            const auto record = m_control.table.recordAt(number);
            if (record && !textDiffers(caption, macToText(record->mac)))
                return record;
        }
        return std::nullopt;
    }

    // Only with the MAC field shown can a request change a device's address.
    void appendNewMac(const DeviceRecord& target)
    {
        if (!m_ui.isFieldVisible(WorkerField::Mac))
            return;
        const auto newMac = textToMac(readField(m_ui, WorkerField::Mac));
        if (newMac && *newMac != target.mac)
            m_writer.appendRecord(Tag::Mac, *newMac);
    }

    // A text field that still shows what was decoded from the device's bytes
    // is unchanged, whatever those bytes are; a changed one goes out in the
    // encoding the device's text was read in.
    ConfigurationOutcome appendChangedTexts(const DeviceRecord& target)
    {
        const struct
        {
            WorkerField field;
            std::string_view stored;
            Tag tag;
            std::string_view refusal;
        } texts[] = {
            {WorkerField::Name, fieldText(target.name), Tag::Name,
             "The name has characters the device cannot store !!"},
            {WorkerField::PppoeAccount, fieldText(target.pppoeAccount), Tag::PppoeAccount,
             "The PPPoE account has characters the device cannot store !!"},
            {WorkerField::PppoePassword, fieldText(target.pppoePassword), Tag::PppoePassword,
             "The PPPoE password has characters the device cannot store !!"},
        };
        const LegacyCodePage page = m_ui.textCodePage();
        for (const auto& text : texts) {
            const std::string typed = readField(m_ui, text.field);
            if (!textDiffers(typed, deviceTextToUtf8(text.stored, page)))
                continue;
            const auto encoded =
                utf8ToDeviceText(typed, text.stored, page, templateFor(text.tag).size);
            if (!encoded)
                return complain(text.refusal, ConfigurationOutcome::Refused);
            m_writer.appendRecord(text.tag, bytesOf(*encoded));
        }
        return ConfigurationOutcome::Composed;
    }

    // A changed address that does not parse is refused rather than sent as
    // 255.255.255.255, which could leave the device unreachable.
    ConfigurationOutcome appendChangedAddresses(const DeviceRecord& target)
    {
        for (const AddressField& address : addressFields) {
            const std::string typed = readField(m_ui, address.field);
            if (!textDiffers(typed, fieldText(target.*address.stored)))
                continue;
            const auto bytes = parseAddress(typed);
            if (!bytes)
                return complain(address.refusal, ConfigurationOutcome::Refused);
            m_writer.appendRecord(address.tag, *bytes);
        }
        return ConfigurationOutcome::Composed;
    }

    ConfigurationOutcome appendChangedPort(const DeviceRecord& target)
    {
        const std::string typed = readField(m_ui, WorkerField::HttpPort);
        if (leadingNumber(typed) == target.httpPort)
            return ConfigurationOutcome::Composed;
        if (!isPortText(typed))
            return complain("Invalid HTTP port !!", ConfigurationOutcome::Refused);
        appendText(m_writer, Tag::HttpPort, typed);
        return ConfigurationOutcome::Composed;
    }

    void appendNetworkMode()
    {
        const std::array<uint8_t, 4> mode = {
            m_ui.isChoiceChecked(WorkerChoice::Pppoe) ? modeOn : modeOff,
            modeOff,
            m_ui.isChoiceChecked(WorkerChoice::Dhcp) ? modeOn : modeOff,
            modeOff,
        };
        m_writer.appendRecord(Tag::NetworkMode, mode);
    }

    WorkerControl& m_control;
    WorkerUi& m_ui;
    DatagramWriter& m_writer;
};

} // namespace

bool textDiffers(std::string_view a, std::string_view b)
{
    return a != b;
}

ConfigurationOutcome composeConfiguration(WorkerControl& control, WorkerUi& ui,
                                          DatagramWriter& writer)
{
    return ConfigurationComposer(control, ui, writer).compose();
}

} // namespace tavolix
