// The texts the language switch hands the window.

#include "BitmapButton.h"
#include "SearchDialog.h"
#include "TransparentLabel.h"

#include <algorithm>
#include <array>

namespace tavolix {
namespace {

// The controls whose captions follow the language; all others keep theirs.
using I = ControlId;
constexpr std::array languageControlIds{
    I::PppoeAccountLabel, I::LoginAccountLabel, I::PppoePasswordLabel, I::LoginPasswordLabel,
    I::AddressLabel,      I::NameLabel,         I::IpAddressLabel,     I::SubnetMaskLabel,
    I::GatewayLabel,      I::HttpPortLabel,     I::StatusLabel,        I::SubmitButton,
    I::UpdateButton,      I::ExitButton};

} // namespace

void SearchDialog::setInterfaceText(ControlId controlId, const QString& text)
{
    if (controlId == ControlId::WindowTitle) {
        setWindowTitle(text); // the painted title strip shows it as well
        return;
    }
    if (std::ranges::find(languageControlIds, controlId) == languageControlIds.end())
        return;
    QWidget* control = controlById(controlId);
    if (auto* label = qobject_cast<TransparentLabel*>(control))
        label->setText(text);
    else if (auto* button = qobject_cast<BitmapButton*>(control))
        button->setText(text);
}

void SearchDialog::languageApplied()
{
    update();
}

} // namespace tavolix
