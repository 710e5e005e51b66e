#include "NetworkWorker.h"

#include "ConfigurationStep.h"
#include "Datagram.h"
#include "ReplyParser.h"
#include "UdpSocket.h"
#include "WorkerControl.h"
#include "WorkerUi.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <poll.h>
#include <string>

namespace tavolix {
namespace {

constexpr std::string_view okText = "OK";

class NetworkWorker final
{
public:
    NetworkWorker(WorkerControl& control, WorkerUi& ui, const WorkerEndpoints& endpoints)
        : m_control(control), m_ui(ui), m_endpoints(endpoints)
    {}
    NetworkWorker(const NetworkWorker&) = delete;
    NetworkWorker& operator=(const NetworkWorker&) = delete;

    int run()
    {
        if (!start())
            return WorkerStartFailed;
        while (m_control.stop.load() == 0) {
            if (m_control.command.load() != NoCommand)
                sendPendingCommand();
            if (m_control.stop.load() == 0)
                waitAndReceive();
        }
        return WorkerEnded;
    }

private:
    // Linux needs no sockets library start-up, so that first step always
    // succeeds; its "OK" is still shown so the status line tells the same story.
    bool start()
    {
        showStatus(okText);
        if (m_control.wakeUp.creationError() != 0)
            return failStart("ERR: eventfd() error! Errorcode =%d\n",
                             m_control.wakeUp.creationError());
        if (const auto opened = m_socket.open(); !opened)
            return failStart("ERR: socket() error! Errorcode =%d\n", opened.failure().systemError);
        showStatus(okText);
        m_socket.enableBroadcast();
        if (const auto bound = m_socket.bind(m_endpoints.localPort); !bound)
            return failStart("ERR: bind() error! Errorcode =%d\n", bound.failure().systemError);
        showStatus(okText);
        return true;
    }

    bool failStart(const char* format, int errorCode)
    {
        showError(format, errorCode);
        m_control.stop.store(1);
        return false;
    }

    void sendPendingCommand()
    {
        int32_t taken = m_control.command.load();
        if (taken == ConfigureCommand) {
            switch (composeConfiguration(m_control, m_ui, m_sendBuffer)) {
            case ConfigurationOutcome::Composed:
                break;
            case ConfigurationOutcome::Stopped:
                return;
            case ConfigurationOutcome::Refused:
                // The user fixes the field and submits again; nothing was sent.
                m_control.command.compare_exchange_strong(taken, NoCommand);
                return;
            case ConfigurationOutcome::FallBackToSearch:
                m_control.command.store(SearchCommand);
                taken = SearchCommand;
                break;
            }
        }
        if (taken != ConfigureCommand)
            m_sendBuffer = searchRequest();

        if (const auto sent =
                m_socket.send(m_sendBuffer, m_endpoints.broadcastAddress, m_endpoints.devicePort))
            showStatus(okText);
        else
            showError("ERR: sendto error! Errorcode =%d\n", sent.failure().systemError);
        // A command the window left while this one was being sent stays pending.
        m_control.command.compare_exchange_strong(taken, NoCommand);
        m_ui.resetDisplay();
    }

    // Sleeps until a datagram arrives or the window signals a command or stop.
    void waitAndReceive()
    {
        std::array<pollfd, 2> watched = {{
            {m_socket.fd(), POLLIN, 0},
            {m_control.wakeUp.fd(), POLLIN, 0},
        }};
        if (::poll(watched.data(), watched.size(), -1) <= 0)
            return;
        if (watched[1].revents != 0)
            m_control.wakeUp.drain();
        if (watched[0].revents == 0)
            return;
        const auto received = m_socket.receive(m_receiveBuffer);
        if (!received) {
            showError("ERR: recv error! Errorcode =%d\n", received.failure().systemError);
            return;
        }
        parseReply(m_control, std::span<const uint8_t>(m_receiveBuffer.data(), *received), m_ui);
        showStatus(okText);
    }

    // Each reply ends in "OK"; repeating the text the window already shows
    // would cost a window call per reply for nothing.
    void showStatus(std::string_view text)
    {
        if (text == m_shownStatus)
            return;
        m_shownStatus.assign(text);
        m_ui.setStatusText(text);
    }

    void showError(const char* format, int errorCode)
    {
        std::array<char, 64> text{};
        const int length = std::snprintf(text.data(), text.size(), format, errorCode);
        const int shown = std::clamp(length, 0, static_cast<int>(text.size()) - 1);
        showStatus({text.data(), static_cast<size_t>(shown)});
    }

    WorkerControl& m_control;
    WorkerUi& m_ui;
    const WorkerEndpoints& m_endpoints;
    UdpSocket m_socket;
    RequestBuffer m_sendBuffer{};
    std::array<uint8_t, replyCapacity> m_receiveBuffer{};
    std::string m_shownStatus;
};

} // namespace

int runNetworkWorker(WorkerControl& control, WorkerUi& ui, const WorkerEndpoints& endpoints)
{
    return NetworkWorker(control, ui, endpoints).run();
}

} // namespace tavolix
