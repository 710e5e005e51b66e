#include "CommandSupport.h"

#include "MergedProtocols.h"
#include "NativeProtocol.h"
#include "OnvifProtocol.h"
#include "PasswordSource.h"
#include "TextEscape.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tavolix::cli {

Result<> writeOut(std::string_view text)
{
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (std::fflush(stdout) != 0 || !written)
        return systemFailure(std::string("cannot write to standard output: ") +
                             std::strerror(errno));
    return Done{};
}

void complain(std::string_view text)
{
    std::string lines;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines += "tavolixctl: " + escapeDeviceText(text.substr(start, end - start)) + '\n';
        start = end + 1;
    }
    std::fwrite(lines.data(), 1, lines.size(), stderr);
}

void complainLine(std::string_view line)
{
    const std::string escaped = "tavolixctl: " + escapeDeviceText(line) + '\n';
    std::fwrite(escaped.data(), 1, escaped.size(), stderr);
}

Result<> runCaught(const std::function<void()>& work)
{
    try {
        work();
    } catch (const std::exception& error) {
        return systemFailure(std::string("internal error: ") + error.what());
    }
    return Done{};
}

int exitCode(const Result<ExitCode>& result)
{
    if (result)
        return *result;
    const Failure& failure = result.failure();
    if (!failure.message.empty())
        complain(failure.message);
    switch (failure.cause) {
    case Cause::Refused:
        return ExitRefused;
    case Cause::Incomplete:
        return ExitIncomplete;
    case Cause::System:
        break;
    }
    return ExitSystem;
}

Result<Login> readLogin(const std::string& user, const std::string& passwordFile)
{
    const std::string most = std::to_string(maxLoginBytes);
    if (user.empty() || user.size() > maxLoginBytes)
        return refused("--user must be 1 to " + most + " bytes");
    auto password = readPassword(passwordFile, user);
    if (!password)
        return password.failure();
    if (password->size() > maxLoginBytes)
        return refused("the password is longer than " + most + " bytes");
    return Login{user, std::move(*password)};
}

Result<std::optional<Login>> readOptionalLogin(const LoginOptions& options, bool required)
{
    if (!required && options.user.empty() && options.passwordFile.empty())
        return std::optional<Login>();
    auto login = readLogin(options.user, options.passwordFile);
    if (!login)
        return login.failure();
    return std::optional<Login>(std::move(*login));
}

Result<std::unique_ptr<DeviceProtocol>>
openProtocol(const std::vector<std::string>& interfaces, ProtocolChoice choice,
             const std::optional<Login>& login, onvif::TlsCheck tls,
             std::unique_ptr<adopt::TemporaryAddresses> adoption)
{
    std::vector<MergedProtocols::Member> members;
    if (choice != ProtocolChoice::Onvif)
        members.emplace_back(Protocols::Native, std::make_unique<NativeProtocol>());
    if (choice != ProtocolChoice::Native)
        members.emplace_back(Protocols::Onvif, std::make_unique<onvif::OnvifProtocol>(
                                                   login, tls, std::move(adoption)));
    std::unique_ptr<DeviceProtocol> protocol =
        members.size() == 1 ? std::move(members.front().second)
                            : std::make_unique<MergedProtocols>(std::move(members));
    if (auto opened = protocol->open(interfaces); !opened)
        return opened.failure();
    return protocol;
}

Result<std::vector<Device>> searchOnce(DeviceProtocol& protocol,
                                       std::chrono::milliseconds listening,
                                       const std::function<bool(const Device&)>& handler,
                                       std::chrono::milliseconds reading)
{
    const auto start = Clock::now();
    if (auto sent = protocol.search(); !sent)
        return sent.failure();
    bool stopped = false;
    const auto noting = [&](const Device& device) { return stopped = handler(device); };
    const DeviceProtocol::RowHandler taken = handler ? DeviceProtocol::RowHandler(noting) : nullptr;
    protocol.collect(start + listening, taken);
    // The reads of the devices that answered go on, looked at a few times a second.
    constexpr std::chrono::milliseconds readingStep{100};
    const auto readingEnd = start + reading;
    while (!stopped && protocol.reading() && Clock::now() < readingEnd)
        protocol.collect(std::min(Clock::now() + readingStep, readingEnd), taken);
    return protocol.devices();
}

SearchedDevices::~SearchedDevices()
{
    if (!protocol)
        return;
    const std::vector<std::string> notes = protocol->notes();
    protocol.reset(); // and with it any temporary address
    for (const std::string& note : notes)
        complainLine(note);
}

namespace {

// With --adopt and ONVIF searched: the temporary addresses, ready before anything is sent.
Result<std::unique_ptr<adopt::TemporaryAddresses>> adoption(const DeviceSearch& search)
{
    if (!search.adopt || search.protocols == ProtocolChoice::Native)
        return std::unique_ptr<adopt::TemporaryAddresses>();
    std::vector<std::string> leftovers;
    auto opened = adopt::TemporaryAddresses::open(leftovers);
    for (const std::string& line : leftovers)
        complainLine(line);
    return opened;
}

} // namespace

Result<SearchedDevices> searchDevices(const DeviceSearch& search, bool loginRequired,
                                      const std::function<bool(const Device&)>& handler)
{
    SearchedDevices searched;
    auto login = readOptionalLogin(search.login, loginRequired);
    if (!login)
        return login.failure();
    searched.login = std::move(*login);
    auto addresses = adoption(search);
    if (!addresses)
        return addresses.failure();
    auto protocol = openProtocol(search.interfaces, search.protocols, searched.login, search.tls,
                                 std::move(*addresses));
    if (!protocol)
        return protocol.failure();
    searched.protocol = std::move(*protocol);
    const std::chrono::milliseconds listening(search.listeningMs);
    auto reading = std::chrono::milliseconds(search.readingMs);
    if (search.adopt)
        reading = std::max(reading, listening + adoptedReading);
    auto found = searchOnce(*searched.protocol, listening, handler, reading);
    if (!found)
        return found.failure();
    searched.found = std::move(*found);
    // Said once, by every command: what a device does that works but is odd.
    for (const std::string& warning : searched.protocol->warnings())
        complainLine("warning: " + warning);
    return searched;
}

} // namespace tavolix::cli
