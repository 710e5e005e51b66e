#include "DeviceSummary.h"

namespace tavolix {

ModeChoice summaryMode(const DeviceRecord& record)
{
    const auto& mode = record.networkMode;
    if (mode[0] != modeOff && mode[1] != modeOff)
        return ModeChoice::Pppoe;
    if (mode[2] != modeOff && mode[3] != modeOff)
        return ModeChoice::Dhcp;
    return ModeChoice::Static;
}

ModeChoice radioMode(const DeviceRecord& record)
{
    if (record.networkMode[0] != modeOff)
        return ModeChoice::Pppoe;
    if (record.networkMode[2] != modeOff)
        return ModeChoice::Dhcp;
    return ModeChoice::Static;
}

std::string summaryText(const DeviceRecord& record)
{
    std::string text = "IP Get:";
    switch (summaryMode(record)) {
    case ModeChoice::Pppoe:
        text += "PPPOE\r\n";
        break;
    case ModeChoice::Dhcp:
        text += "DHCP\r\n";
        break;
    case ModeChoice::Static:
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
    address += fieldText(record.ipAddress);
    if (record.httpPort != 80) {
        address += ':';
        address += std::to_string(record.httpPort);
        address += '/';
    }
    return address;
}

} // namespace tavolix
