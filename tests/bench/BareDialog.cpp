// The yardstick for bench_program: the least a Qt 6 Widgets program must do
// to show a window like ours. A frameless dialog of the program's window size
// with one label, run modally; a close request ends it with 0. No skin, no
// language database, no network.
//   bench_bare_dialog [--program-fonts]
// With --program-fonts it draws in the program's three fonts (the CJK
// template font, Arial and the fixed system font), so that what those fonts
// cost in Qt and fontconfig shows apart from the program's own work.
#include <QApplication>
#include <QDialog>
#include <QFontDatabase>
#include <QLabel>
#include <cstring>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QDialog dialog(nullptr, Qt::Window | Qt::FramelessWindowHint);
    dialog.setFixedSize(470, 440); // the program's client area and its one-pixel border
    QLabel label(QStringLiteral("Tavolix"), &dialog);
    label.move(20, 20);
    if (argc > 1 && std::strcmp(argv[1], "--program-fonts") == 0) {
        QFont templateFont;
        templateFont.setFamilies({QStringLiteral("SimSun"), QStringLiteral("Noto Sans CJK SC")});
        templateFont.setPointSize(9);
        dialog.setFont(templateFont);
        QFont arialFont(QStringLiteral("Arial"));
        arialFont.setStyleHint(QFont::SansSerif);
        arialFont.setPixelSize(14);
        const QFont fixedFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        int y = 60;
        for (const QFont& font : {arialFont, fixedFont}) {
            auto* more = new QLabel(QStringLiteral("Tavolix"), &dialog);
            more->setFont(font);
            more->move(20, y);
            y += 40;
        }
    }
    dialog.exec();
    return 0;
}
