// The yardstick for bench_program: the least a Qt 6 Widgets program must do
// to show a window like ours. A frameless dialog of the program's window size
// with one label, run modally; a close request ends it with 0. No skin, no
// language database, no network.
//   bench_bare_dialog [--program-fonts | --program-controls]
//   bench_bare_dialog_sqlite --program-controls
// With --program-fonts it draws in the program's three fonts (the CJK
// template font, Arial and the fixed system font), so that what those fonts
// cost in Qt and fontconfig shows apart from the program's own work.
// --program-controls creates, with plain Qt calls, the program's 38 controls:
// the same Qt classes in the same numbers, places, fonts and settings, with
// the English texts the program shows at its start, plus a caption in the
// fixed font. bench_bare_dialog_sqlite, built from this file with SQLite
// linked, first reads one row from language.db in the working directory, as
// the program reads its texts, so that SQLite's share shows too; the plain
// build does not link SQLite, lest its loading weigh on the other variants.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QRadioButton>
#include <array>
#include <cstdio>
#include <cstring>
#ifdef BARE_DIALOG_READS_SQLITE
#include <sqlite3.h>
#endif

namespace {

QFont templateFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("Noto Sans CJK SC")});
    font.setPointSize(9);
    return font;
}

QFont arialFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(14);
    return font;
}

// The program's three buttons paint their own face; this one only its text.
class CaptionButton final : public QAbstractButton
{
public:
    using QAbstractButton::QAbstractButton;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.drawText(rect(), Qt::AlignCenter, text());
    }
};

enum class Kind
{
    List,
    Button,
    Label,
    Edit,
    Password,
    Group,
    Radio,
    Combo
};

struct Control
{
    Kind kind;
    const char* text;
    int x, y, width, height; // dialog units
    bool arial;              // the control font rather than the template font
    bool hidden;             // the MAC field, shown only on request
};

// The program's controls in its order; the texts are those of its English start.
constexpr std::array<Control, 38> controls{{
    {Kind::List, "", 9, 30, 136, 88, false, false},
    {Kind::Button, "Update", 17, 121, 56, 21, true, false},
    {Kind::Button, "Exit", 82, 121, 58, 21, true, false},
    {Kind::Label, "", 150, 20, 150, 30, true, false},
    {Kind::Edit, "", 230, 73, 67, 14, false, false},
    {Kind::Password, "", 230, 95, 67, 14, false, false},
    {Kind::Label, "Account", 152, 77, 77, 17, true, false},
    {Kind::Label, "Password", 152, 96, 80, 13, true, false},
    {Kind::Edit, "", 213, 123, 81, 14, false, true},
    {Kind::Label, "Mac", 154, 126, 49, 15, true, true},
    {Kind::Label, "Address:", 90, 145, 105, 14, true, false},
    {Kind::Group, "ffffffffffff", 90, 159, 212, 108, true, false},
    {Kind::Edit, "", 172, 167, 64, 14, false, false},
    {Kind::Edit, "", 172, 185, 64, 14, false, false},
    {Kind::Edit, "", 172, 203, 64, 14, false, false},
    {Kind::Edit, "", 172, 223, 64, 14, false, false},
    {Kind::Edit, "", 172, 242, 40, 14, false, false},
    {Kind::Label, "Name", 95, 171, 74, 14, true, false},
    {Kind::Label, "IP", 95, 188, 74, 16, true, false},
    {Kind::Label, "Submask", 95, 205, 71, 16, true, false},
    {Kind::Label, "Gateway", 95, 226, 77, 17, true, false},
    {Kind::Label, "Http Port", 94, 245, 77, 16, true, false},
    {Kind::Button, "Submit", 228, 242, 65, 21, true, false},
    {Kind::Radio, "", 243, 173, 9, 8, false, false},
    {Kind::Radio, "", 243, 194, 9, 8, false, false},
    {Kind::Radio, "", 243, 214, 9, 8, false, false},
    {Kind::Label, "Status:", 5, 269, 86, 19, true, false},
    {Kind::Label, "", 68, 271, 212, 14, true, false},
    {Kind::Label, "PPPOE", 256, 172, 41, 16, true, false},
    {Kind::Label, "DHCP", 256, 193, 39, 15, true, false},
    {Kind::Label, "STATIC", 256, 214, 43, 13, true, false},
    {Kind::Combo, "", 177, 51, 125, 124, false, false},
    {Kind::Group, "ADSL / DSL", 148, 63, 154, 53, false, false},
    {Kind::Group, "", 8, 159, 76, 107, false, false},
    {Kind::Edit, "", 10, 197, 72, 14, false, false},
    {Kind::Password, "", 10, 232, 72, 14, false, false},
    {Kind::Label, "Account", 11, 169, 71, 25, true, false},
    {Kind::Label, "Password", 11, 215, 71, 16, true, false},
}};

QWidget* create(const Control& control, QDialog& dialog)
{
    const QString text = QString::fromLatin1(control.text);
    switch (control.kind) {
    case Kind::List: {
        auto* list = new QListWidget(&dialog);
        list->setSortingEnabled(true);
        list->setUniformItemSizes(true);
        list->setFrameStyle(QFrame::Box | QFrame::Plain);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        return list;
    }
    case Kind::Button:
        return new CaptionButton(&dialog);
    case Kind::Label:
        return new QLabel(&dialog);
    case Kind::Edit:
    case Kind::Password: {
        auto* edit = new QLineEdit(&dialog);
        if (control.kind == Kind::Password)
            edit->setEchoMode(QLineEdit::Password);
        return edit;
    }
    case Kind::Group: {
        auto* box = new QGroupBox(text, &dialog);
        // The program's classic group box look.
        box->setStyleSheet(QStringLiteral(
            "QGroupBox { border: 1px solid #9a9a9a; border-radius: 2px; margin-top: 0.5em; }"
            "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; top: -1px; "
            "}"));
        return box;
    }
    case Kind::Radio: {
        auto* radio = new QRadioButton(&dialog);
        radio->setAutoExclusive(false);
        return radio;
    }
    case Kind::Combo: {
        auto* combo = new QComboBox(&dialog);
        combo->addItems({QStringLiteral("English"), QStringLiteral("Simplified Chinese"),
                         QStringLiteral("Traditional Chinese"), QStringLiteral("French"),
                         QStringLiteral("German"), QStringLiteral("Japanese")});
        return combo;
    }
    }
    return nullptr;
}

void addProgramControls(QDialog& dialog, QLabel& caption)
{
    dialog.setFont(templateFont());
    const QFont arial = arialFont();
    caption.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    caption.move(6, 6);
    for (const Control& control : controls) {
        QWidget* widget = create(control, dialog);
        if (auto* button = qobject_cast<QAbstractButton*>(widget); button && *control.text)
            button->setText(QString::fromLatin1(control.text));
        else if (auto* label = qobject_cast<QLabel*>(widget))
            label->setText(QString::fromLatin1(control.text));
        if (control.arial)
            widget->setFont(arial);
        // Dialog units of 6 × 12 pixels, inside the one-pixel border.
        QRect geometry(1 + (control.x * 6 + 2) / 4, 1 + (control.y * 12 + 4) / 8,
                       (control.width * 6 + 2) / 4, (control.height * 12 + 4) / 8);
        if (control.kind == Kind::Combo)
            geometry.setHeight(widget->sizeHint().height());
        widget->setGeometry(geometry);
        if (control.hidden)
            widget->hide();
    }
}

void addProgramFonts(QDialog& dialog)
{
    dialog.setFont(templateFont());
    int y = 60;
    for (const QFont& font : {arialFont(), QFontDatabase::systemFont(QFontDatabase::FixedFont)}) {
        auto* more = new QLabel(QStringLiteral("Tavolix"), &dialog);
        more->setFont(font);
        more->move(20, y);
        y += 40;
    }
}

#ifdef BARE_DIALOG_READS_SQLITE
// Opens language.db read-only and reads the English row of its texts.
bool readLanguageRow()
{
    sqlite3* connection = nullptr;
    const bool opened =
        sqlite3_open_v2("language.db", &connection, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK;
    sqlite3_stmt* statement = nullptr;
    const bool read = opened &&
                      sqlite3_prepare_v2(connection, "select * from interface where language = ?",
                                         -1, &statement, nullptr) == SQLITE_OK &&
                      sqlite3_bind_text(statement, 1, "English", -1, SQLITE_STATIC) == SQLITE_OK &&
                      sqlite3_step(statement) == SQLITE_ROW;
    sqlite3_finalize(statement);
    sqlite3_close(connection);
    if (!read)
        std::fprintf(stderr, "bench_bare_dialog: cannot read language.db\n");
    return read;
}
#endif

} // namespace

int main(int argc, char** argv)
{
    const char* variant = argc > 1 ? argv[1] : "";
    QApplication application(argc, argv);
#ifdef BARE_DIALOG_READS_SQLITE
    if (!readLanguageRow())
        return 1;
#endif
    QDialog dialog(nullptr, Qt::Window | Qt::FramelessWindowHint);
    dialog.setFixedSize(470, 440); // the program's client area and its one-pixel border
    QLabel label(QStringLiteral("Tavolix"), &dialog);
    label.move(20, 20);
    if (std::strcmp(variant, "--program-fonts") == 0)
        addProgramFonts(dialog);
    else if (std::strcmp(variant, "--program-controls") == 0)
        addProgramControls(dialog, label);
    dialog.exec();
    return 0;
}
