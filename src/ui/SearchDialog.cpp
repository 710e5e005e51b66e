#include "SearchDialog.h"

#include "BitmapButton.h"
#include "ByteLimitValidator.h"
#include "ControlTable.h"
#include "Credentials.h"
#include "DialogGeometry.h"
#include "SkinBitmaps.h"
#include "TransparentLabel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QPainter>
#include <array>

namespace tavolix {
namespace {

// The template font; edits, the lists and the radio buttons keep it.
QFont templateFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("Noto Sans CJK SC")});
    font.setPointSize(9);
    return font;
}

// Arial with a 16-pixel cell height. The platform font height counts the
// cell, and Arial's cell is about 1.15 em, so the em is 14 pixels.
QFont controlFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(14);
    return font;
}

// The labels, the MAC group box and the three buttons draw in the control font.
using I = ControlId;
constexpr std::array controlFontIds{
    I::PppoeAccountLabel, I::PppoePasswordLabel, I::LoginAccountLabel, I::LoginPasswordLabel,
    I::MacLabel,          I::MacGroup,           I::NameLabel,         I::IpAddressLabel,
    I::SubnetMaskLabel,   I::GatewayLabel,       I::HttpPortLabel,     I::PppoeLabel,
    I::DhcpLabel,         I::StaticLabel,        I::AddressLabel,      I::StatusLabel,
    I::StatusText,        I::DeviceInfoText,     I::ExitButton,        I::SubmitButton,
    I::UpdateButton};

} // namespace

SearchDialog::SearchDialog(const SearchDialogOptions& options, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint), m_options(options),
      m_bridge(*this, *this,
               {.clearDisplay = [this] { clearDisplay(); },
                .languageCodePage = [this] { return codePageInEffect(); }})
{
    createControls();
    connectEvents();
    setIcons();
    m_languageSwitch->openLanguageDb(m_options.languageDbPath);
    applySkin();
    m_languageSwitch->initLanguageTexts();
    applyFonts();
    worker.table.clear();
    worker.command.store(SearchCommand);
    worker.stop.store(0);
    m_bridge.start(m_options.endpoints);
    showMacFieldIfMarked();
}

SearchDialog::~SearchDialog()
{
    m_shuttingDown = true;
    m_bridge.stop();
    m_languageSwitch->closeLanguageDb();
}

void SearchDialog::createControls()
{
    setFont(templateFont());
    setFixedSize(clientSize.grownBy(
        QMargins(dialogBorderWidth, dialogBorderWidth, dialogBorderWidth, dialogBorderWidth)));
    // Mouse moves over the title strip redraw the caption buttons' hover look.
    setMouseTracking(true);
    m_controlsById = buildControls(*this, clientOrigin, *this);
    // The worker keeps the login in fixed-size copies: the fields take no more bytes.
    for (QLineEdit* login : {loginAccountEdit, loginPasswordEdit})
        login->setValidator(new ByteLimitValidator(static_cast<qsizetype>(loginFieldSize), login));
    m_languageSwitch = std::make_unique<LanguageSwitch>(*languageCombo, *this);
}

// The application sets its icon before it creates the window; the window
// shows the same one in the task bar.
void SearchDialog::setIcons()
{
    const QIcon appIcon = QApplication::windowIcon();
    if (!appIcon.isNull())
        setWindowIcon(appIcon);
}

// The buttons keep their template size; the state images are stretched onto it.
void SearchDialog::applySkin()
{
    m_skin.load();
    const ButtonFaces faces{.normal = loadSkinBitmap(buttonNormalBitmap),
                            .pressed = loadSkinBitmap(buttonPressedBitmap),
                            .highlighted = loadSkinBitmap(buttonHoverBitmap)};
    for (BitmapButton* button : {exitButton, submitButton, updateButton}) {
        button->setFaces(faces);
        button->setTextColor(Qt::black);
    }
}

void SearchDialog::applyFonts()
{
    const QFont font = controlFont();
    for (const ControlId id : controlFontIds)
        controlById(id)->setFont(font);
}

// The marker file is looked for once; creating it later has no effect.
void SearchDialog::showMacFieldIfMarked()
{
    macEdit->hide();
    macLabel->hide();
    if (QFileInfo::exists(m_options.markerFile)) {
        macEdit->show();
        macLabel->show();
    }
}

void SearchDialog::accept() {}

void SearchDialog::reject()
{
    onCancel();
}

void SearchDialog::closeEvent(QCloseEvent* event)
{
    onCancel();
    event->accept();
}

void SearchDialog::onCancel()
{
    if (m_shuttingDown)
        return;
    m_shuttingDown = true;
    m_bridge.stop();
    done(0);
}

void SearchDialog::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.save();
    painter.translate(clientOrigin);
    painter.setClipRect(QRect(QPoint(0, 0), clientSize));
    const CaptionZones zones = m_skin.paintClientArea(painter, clientSize, windowTitle());
    closeZone = zones.close;
    minimiseZone = zones.minimise;
    painter.restore();
    if (m_captionHoverPoint)
        paintCaptionHover(painter, *m_captionHoverPoint, zones);
    paintDialogBorder(painter, size());
}

} // namespace tavolix
