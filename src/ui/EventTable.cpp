#include "BitmapButton.h"
#include "SearchDialog.h"

#include <QComboBox>
#include <QListWidget>
#include <QRadioButton>
#include <array>

namespace tavolix {

// Every control event the dialog answers, and its handler. Enter, Escape and
// the close request arrive as accept(), reject() and closeEvent().
void SearchDialog::connectEvents()
{
    connect(deviceList, &QListWidget::itemSelectionChanged, this,
            &SearchDialog::showSelectedDevice);
    connect(deviceList, &QListWidget::itemDoubleClicked, this, &SearchDialog::openDeviceWebPage);

    struct Click
    {
        QAbstractButton* source;
        void (SearchDialog::*handler)();
    };
    const std::array<Click, 6> clicks{{
        {updateButton, &SearchDialog::onUpdate},
        {submitButton, &SearchDialog::onSubmit},
        {pppoeRadio, &SearchDialog::onPppoeMode},
        {dhcpRadio, &SearchDialog::onDhcpMode},
        {staticRadio, &SearchDialog::onStaticMode},
        {exitButton, &SearchDialog::onCancel},
    }};
    for (const Click& click : clicks)
        connect(click.source, &QAbstractButton::clicked, this, click.handler);

    // Only the user's choices switch the language, arrow keys included.
    connect(languageCombo, &QComboBox::activated, this,
            [this] { m_languageSwitch->applyLanguage(); });
}

} // namespace tavolix
