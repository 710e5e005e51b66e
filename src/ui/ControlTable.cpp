#include "ControlTable.h"

#include "BitmapButton.h"
#include "DialogControls.h"
#include "TransparentLabel.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <optional>

namespace tavolix {
namespace {

// The template styles that change how a control behaves here.
enum ControlStyle : unsigned
{
    Plain = 0,
    TabStop = 1u << 0,  // reached with the Tab key
    Border = 1u << 1,   // framed
    Password = 1u << 2, // shows bullets instead of the text
    Sorted = 1u << 3,   // list rows kept sorted by their text
    VScroll = 1u << 4,  // vertical scroll bar when the rows overflow
    OwnGroup = 1u << 5, // a radio button alone in its group: clicking it clears no other
};

constexpr unsigned editStyle = Border | TabStop;
constexpr unsigned listStyle = Sorted | VScroll | Border | TabStop;
constexpr unsigned passwordStyle = editStyle | Password;

struct DialogUnitRect
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

template <typename Widget> using Member = Widget* DialogControls::*;

// Creates the controls one by one in the order it is called, which is also
// the tab order. Each class has its helper, and a helper takes only a member
// of its own widget type.
class ControlBuilder final
{
public:
    ControlBuilder(QWidget& dialog, QPoint clientOrigin, DialogControls& members)
        : m_dialog(dialog), m_origin(clientOrigin), m_members(members)
    {}

    void listBox(ControlId id, DialogUnitRect at, unsigned styles, Member<QListWidget> member)
    {
        auto* list = new QListWidget(&m_dialog);
        list->setSortingEnabled((styles & Sorted) != 0);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        // Every row is one line of text: without this the view measures every
        // row again after each insertion, which makes listing 255 devices slow.
        list->setUniformItemSizes(true);
        list->setFrameStyle((styles & Border) != 0 ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setVerticalScrollBarPolicy((styles & VScroll) != 0 ? Qt::ScrollBarAsNeeded
                                                                 : Qt::ScrollBarAlwaysOff);
        place(id, at, list, member, styles);
    }

    void pushButton(ControlId id, const char* text, DialogUnitRect at, unsigned styles,
                    Member<BitmapButton> member)
    {
        auto* button = new BitmapButton(&m_dialog);
        button->setText(QString::fromUtf8(text));
        place(id, at, button, member, styles);
    }

    void label(ControlId id, const char* text, DialogUnitRect at, Member<TransparentLabel> member)
    {
        auto* label = new TransparentLabel(&m_dialog);
        label->setText(QString::fromUtf8(text));
        place(id, at, label, member);
    }

    void edit(ControlId id, DialogUnitRect at, unsigned styles, Member<QLineEdit> member)
    {
        auto* edit = new QLineEdit(&m_dialog);
        edit->setFrame((styles & Border) != 0);
        if ((styles & Password) != 0)
            edit->setEchoMode(QLineEdit::Password);
        place(id, at, edit, member, styles);
    }

    // A classic group box: the frame fills the control's rectangle and the
    // caption sits on its top line, rather than above a shorter frame.
    void groupBox(ControlId id, const char* text, DialogUnitRect at,
                  Member<QGroupBox> member = nullptr)
    {
        auto* box = new QGroupBox(QString::fromUtf8(text), &m_dialog);
        box->setStyleSheet(QStringLiteral(
            "QGroupBox { border: 1px solid #9a9a9a; border-radius: 2px; margin-top: 0.5em; }"
            "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; top: -1px; "
            "}"));
        place(id, at, box, member);
    }

    // No text of its own: the label to its right is its caption.
    void radioButton(ControlId id, DialogUnitRect at, unsigned styles, Member<QRadioButton> member)
    {
        auto* radio = new QRadioButton(&m_dialog);
        radio->setAutoExclusive((styles & OwnGroup) == 0);
        place(id, at, radio, member, styles);
    }

    // Only the list part is used; nothing can be typed. The template height
    // includes the drop-down list; the closed box keeps its natural height.
    void comboBox(ControlId id, DialogUnitRect at, unsigned styles, Member<QComboBox> member)
    {
        auto* combo = new QComboBox(&m_dialog);
        combo->setEditable(false);
        place(id, at, combo, member, styles);
        combo->resize(combo->width(), combo->sizeHint().height());
    }

    QMap<ControlId, QWidget*> takeControls() { return std::move(m_byId); }

private:
    // Labels and group boxes take no focus, so they are given no styles.
    template <typename Widget>
    void place(ControlId id, DialogUnitRect at, Widget* widget, Member<Widget> member,
               std::optional<unsigned> focusStyles = std::nullopt)
    {
        widget->setGeometry(m_origin.x() + dialogUnitsToPixelsX(at.x),
                            m_origin.y() + dialogUnitsToPixelsY(at.y),
                            dialogUnitsToPixelsX(at.width), dialogUnitsToPixelsY(at.height));
        if (focusStyles)
            widget->setFocusPolicy((*focusStyles & TabStop) != 0 ? Qt::StrongFocus
                                                                 : Qt::ClickFocus);
        if (member != nullptr)
            m_members.*member = widget;
        if (id != ControlId::Unnamed)
            m_byId.insert(id, widget);
    }

    QWidget& m_dialog;
    const QPoint m_origin;
    DialogControls& m_members;
    QMap<ControlId, QWidget*> m_byId;
};

} // namespace

// The dialog template, in template order.
QMap<ControlId, QWidget*> buildControls(QWidget& dialog, QPoint clientOrigin,
                                        DialogControls& members)
{
    using I = ControlId;
    using M = DialogControls;
    ControlBuilder add(dialog, clientOrigin, members);
    // clang-format off
    add.listBox(I::DeviceList, {9, 30, 136, 88}, listStyle, &M::deviceList);
    add.pushButton(I::UpdateButton, "Update", {17, 121, 56, 21}, TabStop, &M::updateButton);
    add.pushButton(I::ExitButton, "Exit", {82, 121, 58, 21}, TabStop, &M::exitButton);
    add.label(I::DeviceInfoText, "", {150, 20, 150, 30}, &M::deviceInfoText);
    add.edit(I::PppoeAccountEdit, {230, 73, 67, 14}, editStyle, &M::pppoeAccountEdit);
    add.edit(I::PppoePasswordEdit, {230, 95, 67, 14}, passwordStyle, &M::pppoePasswordEdit);
    add.label(I::PppoeAccountLabel, "Account", {152, 77, 77, 17}, &M::pppoeAccountLabel);
    add.label(I::PppoePasswordLabel, "Password", {152, 96, 80, 13}, &M::pppoePasswordLabel);
    add.edit(I::MacEdit, {213, 123, 81, 14}, editStyle, &M::macEdit);
    add.label(I::MacLabel, "Mac", {154, 126, 49, 15}, &M::macLabel);
    add.label(I::AddressLabel, "Address:", {90, 145, 105, 14}, &M::addressLabel);
    add.groupBox(I::MacGroup, "ffffffffffff", {90, 159, 212, 108}, &M::macGroup);
    add.edit(I::NameEdit, {172, 167, 64, 14}, editStyle, &M::nameEdit);
    add.edit(I::IpAddressEdit, {172, 185, 64, 14}, editStyle, &M::ipAddressEdit);
    add.edit(I::SubnetMaskEdit, {172, 203, 64, 14}, editStyle, &M::subnetMaskEdit);
    add.edit(I::GatewayEdit, {172, 223, 64, 14}, editStyle, &M::gatewayEdit);
    add.edit(I::HttpPortEdit, {172, 242, 40, 14}, editStyle, &M::httpPortEdit);
    add.label(I::NameLabel, "Name", {95, 171, 74, 14}, &M::nameLabel);
    add.label(I::IpAddressLabel, "IP", {95, 188, 74, 16}, &M::ipAddressLabel);
    add.label(I::SubnetMaskLabel, "Submask", {95, 205, 71, 16}, &M::subnetMaskLabel);
    add.label(I::GatewayLabel, "Gateway", {95, 226, 77, 17}, &M::gatewayLabel);
    add.label(I::HttpPortLabel, "Http Port", {94, 245, 77, 16}, &M::httpPortLabel);
    add.pushButton(I::SubmitButton, "Submit", {228, 242, 65, 21}, TabStop, &M::submitButton);
    add.radioButton(I::PppoeRadio, {243, 173, 9, 8}, OwnGroup | TabStop, &M::pppoeRadio);
    add.radioButton(I::DhcpRadio, {243, 194, 9, 8}, OwnGroup, &M::dhcpRadio);
    add.radioButton(I::StaticRadio, {243, 214, 9, 8}, OwnGroup, &M::staticRadio);
    add.label(I::StatusLabel, "Status:", {5, 269, 86, 19}, &M::statusLabel);
    add.label(I::StatusText, "", {68, 271, 212, 14}, &M::statusText);
    add.label(I::PppoeLabel, "PPPOE      ", {256, 172, 41, 16}, &M::pppoeLabel);
    add.label(I::DhcpLabel, "DHCP    ", {256, 193, 39, 15}, &M::dhcpLabel);
    add.label(I::StaticLabel, "STATIC    ", {256, 214, 43, 13}, &M::staticLabel);
    add.comboBox(I::LanguageCombo, {177, 51, 125, 124}, VScroll | TabStop, &M::languageCombo);
    add.groupBox(I::Unnamed, "ADSL / DSL", {148, 63, 154, 53});
    add.groupBox(I::Unnamed, "", {8, 159, 76, 107});
    add.edit(I::LoginAccountEdit, {10, 197, 72, 14}, editStyle, &M::loginAccountEdit);
    add.edit(I::LoginPasswordEdit, {10, 232, 72, 14}, passwordStyle, &M::loginPasswordEdit);
    add.label(I::LoginAccountLabel, "Account", {11, 169, 71, 25}, &M::loginAccountLabel);
    add.label(I::LoginPasswordLabel, "Password", {11, 215, 71, 16}, &M::loginPasswordLabel);
    // clang-format on
    return add.takeControls();
}

} // namespace tavolix
