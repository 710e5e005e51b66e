#pragma once

namespace tavolix {

// The window's controls by their template ids, which also key the texts of
// the language database's interface columns.
enum class ControlId : int
{
    Unnamed = -1,    // the two group boxes that have no member
    WindowTitle = 0, // the main window's own title
    DeviceList = 1000,
    UpdateButton = 1001,
    ExitButton = 1002,
    DeviceInfoText = 1003,
    PppoeAccountEdit = 1004,
    PppoePasswordEdit = 1005,
    MacEdit = 1006,
    NameEdit = 1007,
    IpAddressEdit = 1008,
    SubnetMaskEdit = 1009,
    GatewayEdit = 1010,
    HttpPortEdit = 1011,
    SubmitButton = 1012,
    PppoeRadio = 1013,
    DhcpRadio = 1014,
    StaticRadio = 1015,
    LoginAccountEdit = 1016,
    LoginPasswordEdit = 1017,
    PppoeAccountLabel = 1019,
    PppoePasswordLabel = 1020,
    MacLabel = 1021,
    AddressLabel = 1022,
    NameLabel = 1023,
    IpAddressLabel = 1024,
    SubnetMaskLabel = 1025,
    GatewayLabel = 1026,
    HttpPortLabel = 1027,
    StatusLabel = 1028,
    StatusText = 1029,
    PppoeLabel = 1030,
    DhcpLabel = 1031,
    StaticLabel = 1032,
    MacGroup = 1034, // caption: the selected device's MAC
    LanguageCombo = 1036,
    LoginAccountLabel = 1038,
    LoginPasswordLabel = 1039,
};

} // namespace tavolix
