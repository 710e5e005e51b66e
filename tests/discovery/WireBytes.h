#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace tavolix::test {

// Builds an expected datagram from annotated pieces, so each table row reads
// like the offsets it stands for. A record is its tag, its length byte and a
// value zero-filled to that length.
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
    WireBytes& append(const WireBytes& other)
    {
        m_data.insert(m_data.end(), other.m_data.begin(), other.m_data.end());
        return *this;
    }
    // Zero fill up to a total size, as every request is 256 bytes.
    WireBytes& padTo(std::size_t size)
    {
        if (m_data.size() < size)
            m_data.resize(size, 0);
        return *this;
    }
    const std::vector<uint8_t>& data() const { return m_data; }

private:
    std::vector<uint8_t> m_data;
};

} // namespace tavolix::test
