// Update, Submit and the three network-mode buttons. The window only leaves a
// command for the worker; the worker does the sending.

#include "SearchDialog.h"

#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <array>

namespace tavolix {

// What a click on one network-mode button allows: which fields open up and
// which other two buttons are cleared, in order.
struct SearchDialog::ModeRule
{
    QRadioButton* DialogControls::*clicked;
    bool addressFieldsEnabled;
    bool pppoeFieldsEnabled;
    std::array<QRadioButton * DialogControls::*, 2> cleared;
};

namespace {

using M = DialogControls;

} // namespace

void SearchDialog::onUpdate()
{
    deviceList->clear();
    worker.table.clear();
    worker.setCommand(SearchCommand);
}

// Every check on the fields is the worker's, when it takes the command.
void SearchDialog::onSubmit()
{
    worker.setCommand(ConfigureCommand);
}

void SearchDialog::onPppoeMode()
{
    static constexpr ModeRule pppoe{&M::pppoeRadio, false, true, {&M::dhcpRadio, &M::staticRadio}};
    applyModeRule(pppoe);
}

void SearchDialog::onDhcpMode()
{
    static constexpr ModeRule dhcp{&M::dhcpRadio, false, false, {&M::pppoeRadio, &M::staticRadio}};
    applyModeRule(dhcp);
}

void SearchDialog::onStaticMode()
{
    static constexpr ModeRule manual{&M::staticRadio, true, false, {&M::dhcpRadio, &M::pppoeRadio}};
    applyModeRule(manual);
}

void SearchDialog::applyModeRule(const ModeRule& rule)
{
    // A click on a mode button always leaves it on; a radio button outside
    // any exclusive group would otherwise switch itself off when clicked again.
    (this->*rule.clicked)->setChecked(true);
    for (QLineEdit* edit : {ipAddressEdit, subnetMaskEdit, gatewayEdit})
        edit->setEnabled(rule.addressFieldsEnabled);
    for (QLineEdit* edit : {pppoeAccountEdit, pppoePasswordEdit})
        edit->setEnabled(rule.pppoeFieldsEnabled);
    for (QRadioButton* DialogControls::*other : rule.cleared)
        (this->*other)->setChecked(false);
}

} // namespace tavolix
