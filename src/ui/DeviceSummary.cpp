#include "DeviceSummary.h"

namespace tavolix {

AddressMode summaryMode(const DeviceRecord& record)
{
    const auto& mode = record.networkMode;
    if (mode[0] != modeOff && mode[1] != modeOff)
        return AddressMode::Pppoe;
    if (mode[2] != modeOff && mode[3] != modeOff)
        return AddressMode::Dhcp;
    return AddressMode::Static;
}

std::string summaryText(const DeviceRecord& record)
{
    std::string text = "IP Get:";
    switch (summaryMode(record)) {
    case AddressMode::Pppoe:
        text += "PPPOE\r\n";
        break;
    case AddressMode::Dhcp:
        text += "DHCP\r\n";
        break;
    case AddressMode::Static:
        text += "STATIC\r\n";
        break;
    }
    text += "V:";
    text += fieldText(record.version);
    text += "\r\n";
    return text;
}

std::string devicePageAddress(const DeviceRecord& record)
{
    std::string address = "http://";
    address += ipv4Text(record.ipAddress);
    if (record.httpPort != 80) {
        address += ':';
        address += std::to_string(record.httpPort);
        address += '/';
    }
    return address;
}

} // namespace tavolix
