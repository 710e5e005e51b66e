#pragma once

#include "ConfigurationRequest.h"
#include "Device.h"
#include "DeviceText.h"
#include "LocalInterfaces.h"
#include "Result.h"
#include "Settings.h"
#include "WaitSet.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tavolix {

using Login = ConfigurationLogin;

// What a search takes at most, whatever arrives on its sockets: a flood of
// datagrams can neither hold the search past its time nor fill the memory.
// A protocol takes at most maxDatagramsPerStep from a socket between two
// waits (and none once the wait's `until` has passed), and lists at most
// maxDevicesPerSearch devices; answers of further devices are counted and
// said in a warning.
inline constexpr std::size_t maxDatagramsPerStep = 64;
inline constexpr std::size_t maxDevicesPerSearch = 1024;

// How a change is sent.
struct ChangeOptions
{
    std::optional<Login> login; // nothing: a dry run, which checks all else
    // The code page of names that are not UTF-8, where one was given; the
    // protocol says what it does without one.
    std::optional<LegacyCodePage> codePage;
    bool reboot = false; // a device that takes the change only after a reboot is rebooted
};

// What became of a change that a device answered other than by taking it.
struct ChangeOutcome
{
    enum class State
    {
        Failed,      // refused, or not answered: what was done before stays done
        NeedsReboot, // taken, in effect only after a reboot that was not asked for
    };
    MacAddress mac{};
    State state = State::Failed;
    std::string message;    // why it failed, naming the calls taken before
    bool someTaken = false; // part of the change was taken: what the device holds is read back
};

// A way of finding devices and changing their settings. The commands work
// through this alone; each protocol the devices speak is one implementation
// (NativeProtocol: the UDP broadcast of the window).
class DeviceProtocol
{
public:
    DeviceProtocol() = default;
    DeviceProtocol(const DeviceProtocol&) = delete;
    DeviceProtocol& operator=(const DeviceProtocol&) = delete;
    virtual ~DeviceProtocol() = default;

    // Gets ready on the named interfaces (every usable one when none is named).
    virtual Result<> open(const std::vector<std::string>& interfaceNames) = 0;
    const std::vector<LocalInterface>& interfaces() const { return m_interfaces; }

    // Forgets every device and asks all of them to answer afresh; a failure
    // only when the question went out nowhere.
    virtual Result<> search() = 0;

    // Asks all devices to answer again, as search() does, but a device still
    // being read is not asked afresh: its reads go on. A device read in full
    // is read again. Verification's rounds are made of this.
    virtual Result<> searchAgain() { return search(); }

    // True while a device that answered is still being read.
    virtual bool reading() const { return false; }

    // Called with each device's latest row; true stops the collecting.
    using RowHandler = std::function<bool(const Device&)>;

    // Takes answers until `until`, or until the handler returns true: one
    // wait over everything watch() names, handle() after each.
    void collect(Clock::time_point until, const RowHandler& handler = {});

    // Adds what the protocol waits for now: its descriptors, and when it
    // must act unasked (a repeat, a time-out).
    virtual void watch(WaitSet& waits) = 0;

    // Takes whatever the wait found ready, without blocking; true when the
    // handler asked to stop.
    virtual bool handle(const WaitSet& ready, const RowHandler& handler) = 0;

    // Every device that answered since the search, by IP address, then MAC.
    virtual std::vector<Device> devices() const = 0;

    // The latest row of the device with this MAC, if it answered.
    std::optional<Device> identify(const MacAddress& mac) const
    {
        const std::vector<Device> found = devices();
        if (const Device* device = findDevice(found, mac))
            return *device;
        return std::nullopt;
    }

    // The asked settings as this protocol would send them to the device
    // (texts in the bytes it stores), or refused with one line per reason
    // when it cannot or may not carry a setting that differs from the
    // device's, or the login. Nothing is sent either way.
    virtual Result<DeviceSettings> checkChange(const Device& device, const DeviceSettings& asked,
                                               const ChangeOptions& options) const = 0;

    // Sends checked settings (checkChange's) to a device that answered. A
    // protocol whose devices answer a change may leave it running until
    // finishChanges(), which comes before the next search.
    virtual Result<> sendChange(const Device& device, const DeviceSettings& asked,
                                const ChangeOptions& options) = 0;

    // Waits until every change sent has been answered, and says which did
    // not simply take effect. A change that is one datagram is done when sent.
    virtual std::vector<ChangeOutcome> finishChanges() { return {}; }

    // Devices of the last search that answered but could not be read in
    // full, one line each, saying which and why.
    virtual std::vector<std::string> problems() const { return {}; }

    // What the last search found odd in devices it could read all the same,
    // one line each: nothing that makes the search fail.
    virtual std::vector<std::string> warnings() const { return {}; }

    // What the run did to the host to reach devices (a temporary address
    // added and removed), one line each, said at the end.
    virtual std::vector<std::string> notes() const { return {}; }

    // "no device answered within 1500 ms on eth0 ...; a firewall must ..."
    virtual std::string silenceReport(std::chrono::milliseconds listened) const = 0;

protected:
    std::vector<LocalInterface> m_interfaces;
};

} // namespace tavolix
