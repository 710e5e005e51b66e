#pragma once

// Shared pieces of the localisation tests: language database files made on
// the spot, a recording stand-in for the window, and a catcher that answers
// the message boxes and remembers what they said.

#include "LanguageSwitch.h"

#include <QComboBox>
#include <QList>
#include <QMap>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <ostream>
#include <string>

// Readable failure output for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace tavolix::test {

// Runs SQL on a database file through a connection of its own; reports a
// test failure and returns false when SQLite refuses it.
bool runSql(const QString& path, const std::string& sql);

// Every cell of table `current`, row by row, as SQL literals ("3", "'x'").
QStringList currentCells(const QString& path);

// The test database: six languages whose names and texts say where they come
// from, interface columns 0..17, and `storedLanguage` in table `current`.
QString fixtureName(int language, int displayLanguage);
QString fixtureText(int language, int column);
bool writeFixtureDb(const QString& path, int storedLanguage);

// Each control id fed by the interface columns, with its column.
QMap<int, int> columnOfControl();

// The fixture's language names as the box lists them in `displayLanguage`.
QStringList fixtureNamesIn(int displayLanguage);

class RecordingTarget final : public LanguageTextTarget
{
public:
    void setInterfaceText(int controlId, const QString& text) override
    {
        texts[controlId] = text;
        order.append(controlId);
    }
    void languageApplied() override { ++appliedCount; }

    QMap<int, QString> texts;
    QList<int> order;
    int appliedCount = 0;
};

struct SeenMessage
{
    QString text;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool modal = false;
};

// While it lives, presses OK on every modal message box that opens.
class MessageBoxCatcher final : public QObject
{
public:
    MessageBoxCatcher();
    Q_DISABLE_COPY_MOVE(MessageBoxCatcher)

    QStringList texts() const;
    const QList<SeenMessage>& seen() const { return seen_; }

private:
    void answerOpenBox();

    QTimer timer_;
    QList<SeenMessage> seen_;
};

// A language switch over a real combo box and a recording window.
struct SwitchHarness
{
    SwitchHarness();

    void start(const QString& dbPath);
    void choose(int entry); // what the window does when the user picks an entry
    QStringList entries() const;

    MessageBoxCatcher messages;
    QComboBox box;
    RecordingTarget target;
    LanguageSwitch languageSwitch{box, target};
};

} // namespace tavolix::test
