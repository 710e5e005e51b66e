// The texts the language switch hands the window.

#include "BitmapButton.h"
#include "SearchDialog.h"
#include "TransparentLabel.h"

#include <algorithm>
#include <array>

namespace tavolix {
namespace {

// The controls whose captions follow the language; all others keep theirs.
constexpr std::array<int, 14> languageControlIds{1019, 1038, 1020, 1039, 1022, 1023, 1024,
                                                 1025, 1026, 1027, 1028, 1012, 1001, 1002};

} // namespace

void SearchDialog::setInterfaceText(int controlId, const QString& text)
{
    if (controlId == windowTitleControl) {
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
