#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace tavolix {

// A discovery datagram: the five-byte magic, then tag-length-value records.
inline constexpr std::array<uint8_t, 5> datagramMagic = {'V', 'X', 'L', '8', '3'};
inline constexpr std::size_t requestSize = 256;
inline constexpr std::size_t replyCapacity = 3000;

enum class Tag : uint8_t
{
    End = 0x00,
    Mac = 0x10,
    IpAddress = 0x11,
    SubnetMask = 0x12,
    Gateway = 0x13,
    HttpPort = 0x14,
    NetworkMode = 0x1f,
    Name = 0x20,
    Version = 0x21,
    PppoeAccount = 0x22,
    PppoePassword = 0x23,
    DeviceKind = 0x30,
    Credentials = 0x32,
};

// Each tag has one fixed template: the tag byte, the value size as length
// byte, and a zero value. Writers always write that size; readers always
// take that many value bytes, whatever the length byte says.
struct TagTemplate
{
    Tag tag;
    uint8_t size;
};

inline constexpr std::array<TagTemplate, 12> tagTable = {{
    {Tag::Mac, 6},
    {Tag::IpAddress, 4},
    {Tag::SubnetMask, 4},
    {Tag::Gateway, 4},
    {Tag::HttpPort, 5},
    {Tag::NetworkMode, 4},
    {Tag::Name, 31},
    {Tag::Version, 16},
    {Tag::PppoeAccount, 64},
    {Tag::PppoePassword, 16},
    {Tag::DeviceKind, 2},
    {Tag::Credentials, 32},
}};

// The fixed value size of a tag on the wire: the one place every limit of a
// device setting (name 31 bytes, PPPoE account 64, credentials 32, ...) comes from.
constexpr std::size_t valueSize(Tag tag)
{
    for (const TagTemplate& entry : tagTable) {
        if (entry.tag == tag)
            return entry.size;
    }
    return 0;
}

// The template of a known tag; nothing for a tag the table does not list.
std::optional<TagTemplate> templateFor(uint8_t tag);
TagTemplate templateFor(Tag tag);

using RequestBuffer = std::array<uint8_t, requestSize>;

// Writes a datagram into a caller-owned buffer (256 bytes for a request,
// up to 3000 for a reply): zeroes it, writes the magic, and then appends
// records at a cursor. Capacity is checked before every write.
class DatagramWriter final
{
public:
    explicit DatagramWriter(std::span<uint8_t> buffer);
    DatagramWriter(const DatagramWriter&) = delete;
    DatagramWriter& operator=(const DatagramWriter&) = delete;

    // Zeroes the buffer and writes the magic again; whatever was appended is gone.
    void restart();

    // Writes the template's two header bytes and then exactly the template's
    // value size taken from value (zero-padded when value is shorter, cut when
    // longer). With no value the whole template is written. Returns false,
    // writing nothing, when the record would not fit.
    bool appendRecord(Tag tag, std::span<const uint8_t> value = {});
    // The same for any tag byte with an explicit value length.
    bool appendRecord(uint8_t tag, uint8_t length, std::span<const uint8_t> value);

    std::size_t size() const { return m_cursor; }
    std::span<const uint8_t> bytes() const { return m_buffer.first(m_cursor); }

private:
    std::span<uint8_t> m_buffer;
    std::size_t m_cursor = 0;
};

// Appends the eleven zero-valued records of a search request.
void appendSearchRecords(DatagramWriter& writer);

// The whole constant search request.
RequestBuffer searchRequest();

// One record read from a received datagram. value holds the bytes that were
// actually received, at most the tag's fixed size (or the length byte for a
// tag the table does not list).
struct ReceivedRecord
{
    uint8_t tag = 0;
    uint8_t length = 0;
    std::span<const uint8_t> value;
};

// Walks the records of a received datagram, never reading past its end.
// The walk ends after a record with tag 0x00 and when the next record would
// start at or past the end.
class RecordReader final
{
public:
    // bytes must start with the magic; the walk starts after it.
    explicit RecordReader(std::span<const uint8_t> bytes);

    std::optional<ReceivedRecord> next();

private:
    std::span<const uint8_t> m_bytes;
    std::size_t m_position = 0;
    bool m_ended = false;
};

// True when bytes hold at least the magic and start with it.
bool hasMagic(std::span<const uint8_t> bytes);

} // namespace tavolix
