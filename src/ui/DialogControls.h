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
    TransparentLabel* loginPasswordLabel = nullptr;
    TransparentLabel* loginAccountLabel = nullptr;
    QLineEdit* loginPasswordEdit = nullptr;
    QLineEdit* loginAccountEdit = nullptr;
    QGroupBox* macGroup = nullptr;
    QComboBox* languageCombo = nullptr;
    QRadioButton* dhcpRadio = nullptr;
    QRadioButton* staticRadio = nullptr;
    QRadioButton* pppoeRadio = nullptr;
    TransparentLabel* macLabel = nullptr;
    QListWidget* deviceList = nullptr;
    TransparentLabel* deviceInfoText = nullptr;
    TransparentLabel* statusText = nullptr;
    TransparentLabel* dhcpLabel = nullptr;
    TransparentLabel* staticLabel = nullptr;
    TransparentLabel* pppoeLabel = nullptr;
    QLineEdit* gatewayEdit = nullptr;
    QLineEdit* subnetMaskEdit = nullptr;
    QLineEdit* pppoePasswordEdit = nullptr;
    QLineEdit* pppoeAccountEdit = nullptr;
    QLineEdit* httpPortEdit = nullptr;
    QLineEdit* nameEdit = nullptr;
    QLineEdit* macEdit = nullptr;
    QLineEdit* ipAddressEdit = nullptr;
    TransparentLabel* subnetMaskLabel = nullptr;
    TransparentLabel* statusLabel = nullptr;
    TransparentLabel* pppoePasswordLabel = nullptr;
    TransparentLabel* nameLabel = nullptr;
    TransparentLabel* addressLabel = nullptr;
    TransparentLabel* ipAddressLabel = nullptr;
    TransparentLabel* httpPortLabel = nullptr;
    TransparentLabel* gatewayLabel = nullptr;
    TransparentLabel* pppoeAccountLabel = nullptr;
    BitmapButton* updateButton = nullptr;
    BitmapButton* submitButton = nullptr;
    BitmapButton* exitButton = nullptr;
};

} // namespace tavolix
