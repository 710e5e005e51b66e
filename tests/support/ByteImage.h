#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace tavolix::test {

// An expected datagram in wire order; a record is tag, length byte, value zero-filled to it.
class WireBytes final
{
public:
    WireBytes& bytes(std::initializer_list<uint8_t> values)
    {
        m_data.insert(m_data.end(), values);
        return *this;
    }
    WireBytes& text(std::string_view value)
    {
        m_data.insert(m_data.end(), value.begin(), value.end());
        return *this;
    }
    WireBytes& zeros(std::size_t count) { return padTo(m_data.size() + count); }
    WireBytes& record(uint8_t tag, uint8_t length, std::initializer_list<uint8_t> value = {})
    {
        return bytes({tag, length}).bytes(value).zeros(length - value.size());
    }
    WireBytes& textRecord(uint8_t tag, uint8_t length, std::string_view value)
    {
        return bytes({tag, length}).text(value).zeros(length - value.size());
    }
    WireBytes& padTo(std::size_t size) // every request is 256 bytes
    {
        m_data.resize(std::max(size, m_data.size()), 0);
        return *this;
    }
    const std::vector<uint8_t>& data() const { return m_data; }

private:
    std::vector<uint8_t> m_data;
};

// The search request: each record with a zero value.
inline std::vector<uint8_t> searchRequestImage()
{
    return WireBytes()
        .text("VXL83")      // 0-4     magic
        .record(0x20, 0x1F) // 5-37    Name
        .record(0x10, 0x06) // 38-45   Mac
        .record(0x21, 0x10) // 46-63   Version
        .record(0x11, 0x04) // 64-69   IpAddress
        .record(0x12, 0x04) // 70-75   SubnetMask
        .record(0x13, 0x04) // 76-81   Gateway
        .record(0x14, 0x05) // 82-88   HttpPort
        .record(0x1F, 0x04) // 89-94   NetworkMode
        .record(0x30, 0x02) // 95-98   DeviceKind
        .record(0x22, 0x40) // 99-164  PppoeAccount
        .record(0x23, 0x10) // 165-182 PppoePassword
        .padTo(256)         // 183-255 fill
        .data();
}

} // namespace tavolix::test
