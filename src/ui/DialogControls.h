#pragma once

class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QRadioButton;

namespace tavolix {

class BitmapButton;
class TransparentLabel;

// The dialog's named controls, bound by the control table. The two unnamed
// group boxes have no member.
struct DialogControls
{
    TransparentLabel* loginPasswordLabel = nullptr; // 1039
    TransparentLabel* loginAccountLabel = nullptr;  // 1038
    QLineEdit* loginPasswordEdit = nullptr;         // 1017
    QLineEdit* loginAccountEdit = nullptr;          // 1016
    QGroupBox* macGroup = nullptr;                  // 1034, caption = selected device's MAC
    QComboBox* languageCombo = nullptr;             // 1036
    QRadioButton* dhcpRadio = nullptr;              // 1014
    QRadioButton* staticRadio = nullptr;            // 1015
    QRadioButton* pppoeRadio = nullptr;             // 1013
    TransparentLabel* macLabel = nullptr;           // 1021
    QListWidget* deviceList = nullptr;              // 1000
    TransparentLabel* deviceInfoText = nullptr;     // 1003
    TransparentLabel* statusText = nullptr;         // 1029
    TransparentLabel* dhcpLabel = nullptr;          // 1031
    TransparentLabel* staticLabel = nullptr;        // 1032
    TransparentLabel* pppoeLabel = nullptr;         // 1030
    QLineEdit* gatewayEdit = nullptr;               // 1010
    QLineEdit* subnetMaskEdit = nullptr;            // 1009
    QLineEdit* pppoePasswordEdit = nullptr;         // 1005
    QLineEdit* pppoeAccountEdit = nullptr;          // 1004
    QLineEdit* httpPortEdit = nullptr;              // 1011
    QLineEdit* nameEdit = nullptr;                  // 1007
    QLineEdit* macEdit = nullptr;                   // 1006
    QLineEdit* ipAddressEdit = nullptr;             // 1008
    TransparentLabel* subnetMaskLabel = nullptr;    // 1025
    TransparentLabel* statusLabel = nullptr;        // 1028
    TransparentLabel* pppoePasswordLabel = nullptr; // 1020
    TransparentLabel* nameLabel = nullptr;          // 1023
    TransparentLabel* addressLabel = nullptr;       // 1022
    TransparentLabel* ipAddressLabel = nullptr;     // 1024
    TransparentLabel* httpPortLabel = nullptr;      // 1027
    TransparentLabel* gatewayLabel = nullptr;       // 1026
    TransparentLabel* pppoeAccountLabel = nullptr;  // 1019
    BitmapButton* updateButton = nullptr;           // 1001
    BitmapButton* submitButton = nullptr;           // 1012
    BitmapButton* exitButton = nullptr;             // 1002
};

} // namespace tavolix
