#pragma once

// Shared pieces of the localisation tests: language database files made on
// the spot, a recording stand-in for the window, and a catcher that answers
// the message boxes and remembers what they said.

#include "LanguageSwitch.h"

#include <QComboBox>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <ostream>
#include <string>

// Readable failure output for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace tavolix::test {

using namespace Qt::StringLiterals;

// Runs SQL on a database file through a connection of its own; reports a
// test failure and returns false when SQLite refuses it.
bool runSql(const QString& path, const std::string& sql);

// The cells of table `current` as SQL literals, joined by commas ("3,'x'").
std::string currentCells(const QString& path);

// The test database: six languages whose names and texts say where they come
// from, interface columns 2..17 after an id and the key, and `storedLanguage`
// in table `current`.
QString fixtureName(int language, int displayLanguage);
QString fixtureText(int language, int column);
QStringList fixtureNamesIn(int displayLanguage);
struct FixtureFile
{
    explicit FixtureFile(int storedLanguage = 0);
    QTemporaryDir dir;
    QString path = dir.filePath(u"language.db"_s);
};

// Each control that takes its text from an interface column, with the column.
inline const QMap<int, int> columnOfControl{
    {1019, 2},  {1038, 2},  {1020, 3},  {1039, 3},  {1022, 5},
    {1023, 6},  {1024, 7},  {1025, 8},  {1026, 9},  {1027, 10},
    {1012, 11}, {1028, 12}, {1001, 14}, {1002, 15}, {static_cast<int>(ControlId::WindowTitle), 13}};

struct RecordingTarget final : LanguageTextTarget
{
    void setInterfaceText(ControlId controlId, const QString& text) override
    {
        texts[static_cast<int>(controlId)] = text;
    }
    void languageApplied() override { ++appliedCount; }

    QMap<int, QString> texts;
    int appliedCount = 0;
};

// Every control of the column table shows `language`'s fixture text of its
// column, and no other control was touched.
void expectTextsOf(const RecordingTarget& target, int language);

// While it lives, checks the form of every modal message box that opens (a
// warning with OK, captioned with the program's name), notes its text and
// closes it.
struct MessageBoxCatcher
{
    MessageBoxCatcher();
    QStringList texts;
    QTimer timer;
};

// A language switch over a real combo box and a recording window, started
// from the database file at `dbPath`.
struct SwitchHarness
{
    explicit SwitchHarness(const QString& dbPath)
    {
        languageSwitch.openLanguageDb(dbPath);
        languageSwitch.initLanguageTexts();
    }
    void choose(int entry) // what the window does when the user picks an entry
    {
        box.setCurrentIndex(entry);
        languageSwitch.applyLanguage();
    }
    QStringList entries() const;

    MessageBoxCatcher messages;
    QComboBox box;
    RecordingTarget target;
    LanguageSwitch languageSwitch{box, target};
};

} // namespace tavolix::test
