#include "ReplyParser.h"

#include "Ipv4.h"
#include "WorkerControl.h"
#include "WorkerUi.h"

#include <algorithm>
#include <climits>

namespace tavolix {
namespace {

// Copies value bytes into a fixed field; bytes the datagram did not carry
// stay zero. Every field holds its tag's whole value (the name with room for
// its terminator).
template <typename Field> void copyValue(Field& field, std::span<const uint8_t> value)
{
    field.fill(0);
    const std::size_t n = std::min(value.size(), field.size());
    for (std::size_t i = 0; i < n; ++i)
        field[i] = static_cast<typename Field::value_type>(value[i]);
}

} // namespace

DeviceRecord deviceRecordFrom(const ReplyValues& values)
{
    DeviceRecord device;
    device.kind = values.kind;
    device.mac = values.mac;
    device.ipAddress = values.ip;
    device.subnetMask = values.mask;
    device.gateway = values.gateway;
    device.httpPort = values.httpPort;
    device.networkMode = values.networkMode;
    copyValue(device.name, values.name);
    copyValue(device.version, values.version);
    copyValue(device.pppoeAccount, values.pppoeAccount);
    copyValue(device.pppoePassword, values.pppoePassword);
    return device;
}

std::optional<DeviceRecord> decodeReply(std::span<const uint8_t> bytes)
{
    const auto values = decodeReplyValues(bytes);
    if (!values)
        return std::nullopt;
    return deviceRecordFrom(*values);
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
