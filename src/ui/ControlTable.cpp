#include "ControlTable.h"

#include "BitmapButton.h"
#include "DialogControls.h"
#include "TransparentLabel.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <array>
#include <variant>

namespace tavolix {
namespace {

enum class ControlClass
{
    ListBox,
    PushButton,
    Label,
    Edit,
    GroupBox,
    RadioButton,
    ComboBox
};

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

using ControlMember =
    std::variant<std::monostate, QListWidget * DialogControls::*, BitmapButton * DialogControls::*,
                 TransparentLabel * DialogControls::*, QLineEdit * DialogControls::*,
                 QGroupBox * DialogControls::*, QRadioButton * DialogControls::*,
                 QComboBox * DialogControls::*>;

struct ControlRow
{
    ControlId id;
    ControlClass controlClass;
    const char* templateText; // UTF-8
    DialogUnitRect position;
    unsigned styles;
    ControlMember member;
};

using C = ControlClass;
using I = ControlId;
using M = DialogControls;

// The dialog template, in template order.
constexpr std::array<ControlRow, 38> controlTable{{
    {I::DeviceList, C::ListBox, "", {9, 30, 136, 88}, listStyle, &M::deviceList},
    {I::UpdateButton, C::PushButton, "Update", {17, 121, 56, 21}, TabStop, &M::updateButton},
    {I::ExitButton, C::PushButton, "Exit", {82, 121, 58, 21}, TabStop, &M::exitButton},
    {I::DeviceInfoText, C::Label, "", {150, 20, 150, 30}, Plain, &M::deviceInfoText},
    {I::PppoeAccountEdit, C::Edit, "", {230, 73, 67, 14}, editStyle, &M::pppoeAccountEdit},
    {I::PppoePasswordEdit, C::Edit, "", {230, 95, 67, 14}, passwordStyle, &M::pppoePasswordEdit},
    {I::PppoeAccountLabel, C::Label, "Account", {152, 77, 77, 17}, Plain, &M::pppoeAccountLabel},
    {I::PppoePasswordLabel, C::Label, "Password", {152, 96, 80, 13}, Plain, &M::pppoePasswordLabel},
    {I::MacEdit, C::Edit, "", {213, 123, 81, 14}, editStyle, &M::macEdit},
    {I::MacLabel, C::Label, "Mac", {154, 126, 49, 15}, Plain, &M::macLabel},
    {I::AddressLabel, C::Label, "Address:", {90, 145, 105, 14}, Plain, &M::addressLabel},
    {I::MacGroup, C::GroupBox, "ffffffffffff", {90, 159, 212, 108}, Plain, &M::macGroup},
    {I::NameEdit, C::Edit, "", {172, 167, 64, 14}, editStyle, &M::nameEdit},
    {I::IpAddressEdit, C::Edit, "", {172, 185, 64, 14}, editStyle, &M::ipAddressEdit},
    {I::SubnetMaskEdit, C::Edit, "", {172, 203, 64, 14}, editStyle, &M::subnetMaskEdit},
    {I::GatewayEdit, C::Edit, "", {172, 223, 64, 14}, editStyle, &M::gatewayEdit},
    {I::HttpPortEdit, C::Edit, "", {172, 242, 40, 14}, editStyle, &M::httpPortEdit},
    {I::NameLabel, C::Label, "Name", {95, 171, 74, 14}, Plain, &M::nameLabel},
    {I::IpAddressLabel, C::Label, "IP", {95, 188, 74, 16}, Plain, &M::ipAddressLabel},
    {I::SubnetMaskLabel, C::Label, "Submask", {95, 205, 71, 16}, Plain, &M::subnetMaskLabel},
    {I::GatewayLabel, C::Label, "Gateway", {95, 226, 77, 17}, Plain, &M::gatewayLabel},
    {I::HttpPortLabel, C::Label, "Http Port", {94, 245, 77, 16}, Plain, &M::httpPortLabel},
    {I::SubmitButton, C::PushButton, "Submit", {228, 242, 65, 21}, TabStop, &M::submitButton},
    {I::PppoeRadio, C::RadioButton, "", {243, 173, 9, 8}, OwnGroup | TabStop, &M::pppoeRadio},
    {I::DhcpRadio, C::RadioButton, "", {243, 194, 9, 8}, OwnGroup, &M::dhcpRadio},
    {I::StaticRadio, C::RadioButton, "", {243, 214, 9, 8}, OwnGroup, &M::staticRadio},
    {I::StatusLabel, C::Label, "Status:", {5, 269, 86, 19}, Plain, &M::statusLabel},
    {I::StatusText, C::Label, "", {68, 271, 212, 14}, Plain, &M::statusText},
    {I::PppoeLabel, C::Label, "PPPOE      ", {256, 172, 41, 16}, Plain, &M::pppoeLabel},
    {I::DhcpLabel, C::Label, "DHCP    ", {256, 193, 39, 15}, Plain, &M::dhcpLabel},
    {I::StaticLabel, C::Label, "STATIC    ", {256, 214, 43, 13}, Plain, &M::staticLabel},
    {I::LanguageCombo, C::ComboBox, "", {177, 51, 125, 124}, VScroll | TabStop, &M::languageCombo},
    {I::Unnamed, C::GroupBox, "ADSL / DSL", {148, 63, 154, 53}, Plain, {}},
    {I::Unnamed, C::GroupBox, "", {8, 159, 76, 107}, Plain, {}},
    {I::LoginAccountEdit, C::Edit, "", {10, 197, 72, 14}, editStyle, &M::loginAccountEdit},
    {I::LoginPasswordEdit, C::Edit, "", {10, 232, 72, 14}, passwordStyle, &M::loginPasswordEdit},
    {I::LoginAccountLabel, C::Label, "Account", {11, 169, 71, 25}, Plain, &M::loginAccountLabel},
    {I::LoginPasswordLabel, C::Label, "Password", {11, 215, 71, 16}, Plain, &M::loginPasswordLabel},
}};

template <typename Widget> constexpr bool memberHolds(const ControlMember& member)
{
    return std::holds_alternative<Widget * DialogControls::*>(member);
}

// Each named row's member must be of its class's widget type.
constexpr bool membersMatchClasses()
{
    for (const ControlRow& row : controlTable) {
        if (std::holds_alternative<std::monostate>(row.member))
            continue;
        bool matches = false;
        switch (row.controlClass) {
        case C::ListBox:
            matches = memberHolds<QListWidget>(row.member);
            break;
        case C::PushButton:
            matches = memberHolds<BitmapButton>(row.member);
            break;
        case C::Label:
            matches = memberHolds<TransparentLabel>(row.member);
            break;
        case C::Edit:
            matches = memberHolds<QLineEdit>(row.member);
            break;
        case C::GroupBox:
            matches = memberHolds<QGroupBox>(row.member);
            break;
        case C::RadioButton:
            matches = memberHolds<QRadioButton>(row.member);
            break;
        case C::ComboBox:
            matches = memberHolds<QComboBox>(row.member);
            break;
        }
        if (!matches)
            return false;
    }
    return true;
}
static_assert(membersMatchClasses(), "a control's member does not match its class");

Qt::FocusPolicy focusPolicyFor(unsigned styles)
{
    return (styles & TabStop) != 0 ? Qt::StrongFocus : Qt::ClickFocus;
}

QWidget* createListBox(QWidget& parent, const ControlRow& row)
{
    auto* list = new QListWidget(&parent);
    list->setSortingEnabled((row.styles & Sorted) != 0);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    // Every row is one line of text: without this the view measures every
    // row again after each insertion, which makes listing 255 devices slow.
    list->setUniformItemSizes(true);
    list->setFrameStyle((row.styles & Border) != 0 ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollBarPolicy((row.styles & VScroll) != 0 ? Qt::ScrollBarAsNeeded
                                                                 : Qt::ScrollBarAlwaysOff);
    return list;
}

QWidget* createEdit(QWidget& parent, const ControlRow& row)
{
    auto* edit = new QLineEdit(&parent);
    edit->setFrame((row.styles & Border) != 0);
    if ((row.styles & Password) != 0)
        edit->setEchoMode(QLineEdit::Password);
    return edit;
}

QWidget* createRadioButton(QWidget& parent, const ControlRow& row)
{
    // No text of its own: the label to its right is its caption.
    auto* radio = new QRadioButton(&parent);
    radio->setAutoExclusive((row.styles & OwnGroup) == 0);
    return radio;
}

QWidget* createComboBox(QWidget& parent, const ControlRow&)
{
    // Only the list part is used; nothing can be typed.
    auto* combo = new QComboBox(&parent);
    combo->setEditable(false);
    return combo;
}

// A classic group box: the frame fills the control's rectangle and the
// caption sits on its top line, rather than above a shorter frame.
QWidget* createGroupBox(QWidget& parent, const QString& text)
{
    auto* box = new QGroupBox(text, &parent);
    box->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid #9a9a9a; border-radius: 2px; margin-top: 0.5em; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; top: -1px; }"));
    return box;
}

QWidget* createControl(QWidget& parent, const ControlRow& row)
{
    const QString text = QString::fromUtf8(row.templateText);
    switch (row.controlClass) {
    case C::ListBox:
        return createListBox(parent, row);
    case C::PushButton: {
        auto* button = new BitmapButton(ButtonStyle::pushButton, &parent);
        button->setText(text);
        return button;
    }
    case C::Label: {
        auto* label = new TransparentLabel(&parent);
        label->setText(text);
        return label;
    }
    case C::Edit:
        return createEdit(parent, row);
    case C::GroupBox:
        return createGroupBox(parent, text);
    case C::RadioButton:
        return createRadioButton(parent, row);
    case C::ComboBox:
        return createComboBox(parent, row);
    }
    return nullptr;
}

bool takesFocus(ControlClass controlClass)
{
    return controlClass != C::Label && controlClass != C::GroupBox;
}

QRect pixelRect(const ControlRow& row, QPoint clientOrigin)
{
    const DialogUnitRect& units = row.position;
    return {clientOrigin.x() + dialogUnitsToPixelsX(units.x),
            clientOrigin.y() + dialogUnitsToPixelsY(units.y), dialogUnitsToPixelsX(units.width),
            dialogUnitsToPixelsY(units.height)};
}

void bindMember(DialogControls& members, const ControlMember& member, QWidget* widget)
{
    std::visit(
        [&](auto pointer) {
            if constexpr (!std::is_same_v<decltype(pointer), std::monostate>) {
                using Widget =
                    std::remove_pointer_t<std::remove_reference_t<decltype(members.*pointer)>>;
                members.*pointer = static_cast<Widget*>(widget);
            }
        },
        member);
}

} // namespace

QMap<ControlId, QWidget*> buildControls(QWidget& dialog, QPoint clientOrigin,
                                        DialogControls& members)
{
    QMap<ControlId, QWidget*> byId;
    for (const ControlRow& row : controlTable) {
        QWidget* widget = createControl(dialog, row);
        QRect geometry = pixelRect(row, clientOrigin);
        // A combo box's template height includes its drop-down list; the
        // closed box keeps its natural height.
        if (row.controlClass == C::ComboBox)
            geometry.setHeight(widget->sizeHint().height());
        widget->setGeometry(geometry);
        if (takesFocus(row.controlClass))
            widget->setFocusPolicy(focusPolicyFor(row.styles));
        bindMember(members, row.member, widget);
        if (row.id != I::Unnamed)
            byId.insert(row.id, widget);
    }
    return byId;
}

} // namespace tavolix
