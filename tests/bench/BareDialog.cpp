// The yardstick for bench_program: the least a Qt 6 Widgets program must do
// to show a window like ours. A frameless dialog of the program's window size
// with one label, run modally; a close request ends it with 0. No skin, no
// language database, no network.
#include <QApplication>
#include <QDialog>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QDialog dialog(nullptr, Qt::Window | Qt::FramelessWindowHint);
    dialog.setFixedSize(470, 440); // the program's client area and its one-pixel border
    QLabel label(QStringLiteral("Tavolix"), &dialog);
    label.move(20, 20);
    dialog.exec();
    return 0;
}
