#include "Datagram.h"

#include <algorithm>

namespace tavolix {

std::optional<TagTemplate> templateFor(uint8_t tag)
{
    for (const TagTemplate& entry : tagTable) {
        if (static_cast<uint8_t>(entry.tag) == tag)
            return entry;
    }
    return std::nullopt;
}

TagTemplate templateFor(Tag tag)
{
    return *templateFor(static_cast<uint8_t>(tag));
}

DatagramWriter::DatagramWriter(std::span<uint8_t> buffer) : m_buffer(buffer)
{
    restart();
}

void DatagramWriter::restart()
{
    std::fill(m_buffer.begin(), m_buffer.end(), uint8_t{0});
    std::copy(datagramMagic.begin(), datagramMagic.end(), m_buffer.begin());
    m_cursor = datagramMagic.size();
}

bool DatagramWriter::appendRecord(Tag tag, std::span<const uint8_t> value)
{
    return appendRecord(static_cast<uint8_t>(tag), templateFor(tag).size, value);
}

bool DatagramWriter::appendRecord(uint8_t tag, uint8_t length, std::span<const uint8_t> value)
{
    const std::size_t recordSize = 2 + std::size_t{length};
    if (recordSize > m_buffer.size() - m_cursor)
        return false;
    m_buffer[m_cursor] = tag;
    m_buffer[m_cursor + 1] = length;
    uint8_t* valueStart = m_buffer.data() + m_cursor + 2;
    std::fill_n(valueStart, length, uint8_t{0});
    std::copy_n(value.begin(), std::min(value.size(), std::size_t{length}), valueStart);
    m_cursor += recordSize;
    return true;
}

void appendSearchRecords(DatagramWriter& writer)
{
    static constexpr Tag order[] = {
        Tag::Name,       Tag::Mac,          Tag::Version,       Tag::IpAddress,
        Tag::SubnetMask, Tag::Gateway,      Tag::HttpPort,      Tag::NetworkMode,
        Tag::DeviceKind, Tag::PppoeAccount, Tag::PppoePassword,
    };
    for (const Tag tag : order)
        writer.appendRecord(tag);
}

RequestBuffer searchRequest()
{
    RequestBuffer buffer;
    DatagramWriter writer(buffer);
    appendSearchRecords(writer);
    return buffer;
}

bool hasMagic(std::span<const uint8_t> bytes)
{
    return bytes.size() >= datagramMagic.size() &&
           std::equal(datagramMagic.begin(), datagramMagic.end(), bytes.begin());
}

RecordReader::RecordReader(std::span<const uint8_t> bytes)
    : m_bytes(bytes), m_position(datagramMagic.size())
{}

std::optional<ReceivedRecord> RecordReader::next()
{
    if (m_ended || m_position >= m_bytes.size())
        return std::nullopt;
    ReceivedRecord record;
    record.tag = m_bytes[m_position];
    // A record cut off after its tag byte has length 0 and no value.
    record.length = m_position + 1 < m_bytes.size() ? m_bytes[m_position + 1] : 0;
    const auto known = templateFor(record.tag);
    const std::size_t wanted = known ? known->size : record.length;
    const std::size_t valueStart = std::min(m_position + 2, m_bytes.size());
    const std::size_t available = std::min(wanted, m_bytes.size() - valueStart);
    record.value = m_bytes.subspan(valueStart, available);

    if (record.tag == static_cast<uint8_t>(Tag::End))
        m_ended = true;
    // The length byte, not the fixed size, moves the walk on.
    m_position += 2 + std::size_t{record.length};
    return record;
}

} // namespace tavolix
