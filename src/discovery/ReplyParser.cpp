#include "ReplyParser.h"

#include "Datagram.h"
#include "Ipv4.h"
#include "WorkerControl.h"
#include "WorkerUi.h"

#include <algorithm>
#include <climits>

namespace tavolix {
namespace {

// Copies the received value bytes into a fixed field; bytes the datagram did
// not carry stay zero. RecordReader has already cut the value to the tag's
// size, which every field holds (the name with room for its terminator).
template <typename Field> void copyValue(Field& field, const ReceivedRecord& record)
{
    field.fill(0);
    const std::size_t n = std::min(record.value.size(), field.size());
    for (std::size_t i = 0; i < n; ++i)
        field[i] = static_cast<typename Field::value_type>(record.value[i]);
}

uint8_t byteAt(std::span<const uint8_t> value, std::size_t index)
{
    return index < value.size() ? value[index] : 0;
}

void setAddressText(std::array<char, 16>& field, std::span<const uint8_t> value)
{
    // "255.255.255.255" is 15 characters, so the text always fits terminated.
    setFieldText(field, ipv4Text(Ipv4{byteAt(value, 0)} << 24 | Ipv4{byteAt(value, 1)} << 16 |
                                 Ipv4{byteAt(value, 2)} << 8 | Ipv4{byteAt(value, 3)}));
}

void applyRecord(DeviceRecord& device, const ReceivedRecord& record)
{
    switch (static_cast<Tag>(record.tag)) {
    case Tag::Mac:
        copyValue(device.mac, record);
        break;
    case Tag::IpAddress:
        setAddressText(device.ipAddress, record.value);
        break;
    case Tag::SubnetMask:
        setAddressText(device.subnetMask, record.value);
        break;
    case Tag::Gateway:
        setAddressText(device.gateway, record.value);
        break;
    case Tag::HttpPort:
        device.httpPort = byteAt(record.value, 0) + 256 * byteAt(record.value, 1);
        break;
    case Tag::NetworkMode:
        copyValue(device.networkMode, record);
        break;
    case Tag::Name:
        copyValue(device.name, record);
        break;
    case Tag::Version:
        copyValue(device.version, record);
        break;
    case Tag::PppoeAccount:
        copyValue(device.pppoeAccount, record);
        break;
    case Tag::PppoePassword:
        copyValue(device.pppoePassword, record);
        break;
    case Tag::DeviceKind: {
        const auto stated = static_cast<DeviceKind>(byteAt(record.value, 1));
        if (byteAt(record.value, 0) == 0x00 &&
            (stated == DeviceKind::WithoutPppoe || stated == DeviceKind::ReadOnly))
            device.kind = stated;
        break;
    }
    default:
        break; // credentials and unknown tags carry nothing for the table
    }
}

} // namespace

std::optional<DeviceRecord> decodeReply(std::span<const uint8_t> bytes)
{
    if (!hasMagic(bytes))
        return std::nullopt;
    DeviceRecord device;
    RecordReader reader(bytes);
    while (const auto record = reader.next())
        applyRecord(device, *record);
    return device;
}

int parseReply(WorkerControl& control, std::span<const uint8_t> bytes, ListRowSink& rows)
{
    const auto device = decodeReply(bytes);
    if (!device)
        return 0;
    const int slotNumber = control.table.store(*device);
    if (slotNumber == 0)
        return 0;
    DeviceRecord stored = *device;
    stored.slot = slotNumber;
    rows.addListRow(slotNumber, listRowText(stored));
    return slotNumber;
}

std::string listRowText(const DeviceRecord& record)
{
    // At most "255 " and a whole name field.
    std::string text = std::to_string(record.slot);
    text += ' ';
    text += fieldText(record.name);
    return text;
}

int leadingNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Numbers too large for an int are clamped rather than overflowed.
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<long long>(value * 10 + (text[i] - '0'), INT_MAX);
    return static_cast<int>(negative ? -value : value);
}

} // namespace tavolix
