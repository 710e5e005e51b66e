#include "ConfigurationRecords.h"

#include "Datagram.h"

#include <algorithm>

namespace tavolix::devicesim {
namespace {

template <typename Value> std::optional<Value> fullValue(const ReceivedRecord& record)
{
    Value value{};
    if (record.value.size() < value.size())
        return std::nullopt;
    std::transform(record.value.begin(), record.value.begin() + value.size(), value.begin(),
                   [](uint8_t byte) { return static_cast<typename Value::value_type>(byte); });
    return value;
}

// The port as the tool sends it: decimal digits, zero-padded to five bytes.
std::optional<uint16_t> portFromDigits(std::span<const uint8_t> value)
{
    if (value.size() < 5)
        return std::nullopt;
    uint32_t port = 0;
    std::size_t digits = 0;
    for (; digits < 5 && value[digits] != 0; ++digits) {
        if (value[digits] < '0' || value[digits] > '9')
            return std::nullopt;
        port = port * 10 + (value[digits] - '0');
    }
    if (std::ranges::any_of(value.first(5).subspan(digits), [](uint8_t b) { return b != 0; }))
        return std::nullopt;
    if (digits == 0 || port == 0 || port > 65535)
        return std::nullopt;
    return static_cast<uint16_t>(port);
}

bool isZero(std::span<const uint8_t> bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

void readRecord(const ReceivedRecord& record, ConfigurationRecords& request)
{
    switch (static_cast<Tag>(record.tag)) {
    case Tag::Credentials:
        request.credentials = fullValue<std::array<uint8_t, 32>>(record);
        break;
    case Tag::Name:
        request.name = fullValue<std::array<char, 31>>(record);
        break;
    case Tag::PppoeAccount:
        request.pppoeAccount = fullValue<std::array<char, 64>>(record);
        break;
    case Tag::PppoePassword:
        request.pppoePassword = fullValue<std::array<char, 16>>(record);
        break;
    case Tag::IpAddress:
        request.ipAddress = fullValue<Ipv4Bytes>(record);
        break;
    case Tag::SubnetMask:
        request.subnetMask = fullValue<Ipv4Bytes>(record);
        break;
    case Tag::Gateway:
        request.gateway = fullValue<Ipv4Bytes>(record);
        break;
    case Tag::HttpPort:
        request.httpPort = portFromDigits(record.value);
        break;
    case Tag::NetworkMode:
        request.networkMode = fullValue<NetworkModeBytes>(record);
        break;
    default:
        break; // Mac is read by the caller; version and kind are not the tool's to set
    }
}

template <typename Value>
void store(const std::optional<Value>& sent, Value& setting, const char* label, std::string& log)
{
    if (!sent)
        return;
    setting = *sent;
    log += ' ';
    log += label;
}

} // namespace

bool isSearch(std::span<const uint8_t> datagram)
{
    RecordReader reader(datagram);
    while (const auto record = reader.next()) {
        if (record->tag == static_cast<uint8_t>(Tag::Credentials))
            return false;
        if (record->tag == static_cast<uint8_t>(Tag::Mac) && !isZero(record->value))
            return false;
    }
    return true;
}

ConfigurationRecords readConfiguration(std::span<const uint8_t> datagram)
{
    ConfigurationRecords request;
    RecordReader reader(datagram);
    // A first Mac record cut short still occupies the target's place.
    bool targetSeen = false;
    while (const auto record = reader.next()) {
        if (record->tag == static_cast<uint8_t>(Tag::Mac) && !targetSeen) {
            targetSeen = true;
            request.target = fullValue<MacAddress>(*record);
            continue;
        }
        if (record->tag == static_cast<uint8_t>(Tag::Mac)) {
            if (!request.newMac)
                request.newMac = fullValue<MacAddress>(*record);
            continue;
        }
        readRecord(*record, request);
    }
    return request;
}

std::string applyConfiguration(const ConfigurationRecords& request, SimulatedDevice& device)
{
    std::string log;
    store(request.newMac, device.mac, "mac", log);
    store(request.name, device.name, "name", log);
    store(request.pppoeAccount, device.pppoeAccount, "pppoe-account", log);
    store(request.pppoePassword, device.pppoePassword, "pppoe-password", log);
    store(request.ipAddress, device.ipAddress, "ip", log);
    store(request.subnetMask, device.subnetMask, "mask", log);
    store(request.gateway, device.gateway, "gateway", log);
    store(request.httpPort, device.httpPort, "port", log);
    store(request.networkMode, device.networkMode, "mode", log);
    return log;
}

} // namespace tavolix::devicesim
