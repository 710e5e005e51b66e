#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tavolix::devicesim {

// The simulator's account of what crossed the wire, one flushed line per
// event on standard output, so that a test reading the pipe sees each line
// as soon as it happens:
//   recv 198.18.0.1:3566 5658...   (every datagram, as hex)
//   send 198.18.0.1:3566 5658...
//   apply 02005e100001 name ip     drop bad-login 02005e100001
class Transcript final
{
public:
    explicit Transcript(bool datagramLines) : m_datagramLines(datagramLines) {}
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;

    void datagram(std::string_view direction, const std::string& peer,
                  std::span<const uint8_t> bytes) const;
    void line(std::string_view text) const;

private:
    bool m_datagramLines;
};

std::string hexText(std::span<const uint8_t> bytes);

} // namespace tavolix::devicesim
