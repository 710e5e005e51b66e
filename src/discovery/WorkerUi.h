#pragma once

#include "DeviceText.h"

#include <string>
#include <string_view>

namespace tavolix {

// The dialog fields the worker reads when it composes a configuration request.
enum class WorkerField
{
    LoginAccount,
    LoginPassword,
    Mac,
    Name,
    IpAddress,
    SubnetMask,
    Gateway,
    HttpPort,
    PppoeAccount,
    PppoePassword,
    MacGroupCaption, // the selected device's address, "ffffffffffff" when none
};

enum class WorkerChoice
{
    Pppoe,
    Dhcp,
};

// The one thing reply parsing asks of the window.
class ListRowSink
{
public:
    // Makes sure the device list has a row for slotNumber: adds rowText
    // unless a row whose leading number is slotNumber exists already. Called
    // right after the record was stored in that slot. It may return before
    // the row is listed, so that the worker goes on reading replies; the
    // window then lists the rows in the order given, after every call made
    // before them, and leaves out a row whose slot has been emptied since.
    virtual void addListRow(int slotNumber, std::string_view rowText) = 0;

protected:
    ~ListRowSink() = default;
};

// Everything the network worker asks of the window. Every call is made from
// the worker's thread, and all but addListRow return only when the window
// has carried them out; the window side runs each one on its own thread.
class WorkerUi : public ListRowSink
{
public:
    virtual ~WorkerUi() = default;

    virtual void setStatusText(std::string_view text) = 0;
    virtual std::string fieldText(WorkerField field) = 0;
    // Only LoginAccount and Mac are ever asked.
    virtual bool isFieldVisible(WorkerField field) = 0;
    virtual bool isChoiceChecked(WorkerChoice choice) = 0;
    // Shows an error box and returns when the user has dismissed it, or when
    // the worker is being stopped.
    virtual void showMessageBox(std::string_view caption, std::string_view text) = 0;
    // Empties the detail fields, the device list and the device table.
    virtual void resetDisplay() = 0;
    // The code page in which the window decoded the selected device's texts
    // into the Name and PPPoE fields. A field that still shows what was
    // decoded counts as unchanged, and a changed one is encoded back in it.
    virtual LegacyCodePage textCodePage() { return LegacyCodePage::Windows1252; }

protected:
    WorkerUi() = default;
};

} // namespace tavolix
