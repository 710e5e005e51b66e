#include "LanguageTestSupport.h"

#include "InterfaceColumns.h"
#include "LanguageKeys.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace tavolix::test {

namespace {

struct Closer
{
    void operator()(sqlite3* connection) const noexcept { sqlite3_close(connection); }
};
using Connection = std::unique_ptr<sqlite3, Closer>;

Connection openFile(const QString& path)
{
    sqlite3* opened = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &opened,
                    SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    return Connection(opened);
}

std::string quoted(const QString& text)
{
    return "'" + text.toStdString() + "'";
}

} // namespace

bool runSql(const QString& path, const std::string& sql)
{
    const Connection connection = openFile(path);
    char* error = nullptr;
    if (sqlite3_exec(connection.get(), sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK)
        return true;
    ADD_FAILURE() << "SQL failed: " << (error ? error : "?") << "\n" << sql;
    sqlite3_free(error);
    return false;
}

QStringList currentCells(const QString& path)
{
    const Connection connection = openFile(path);
    sqlite3_stmt* raw = nullptr;
    QStringList cells;
    if (sqlite3_prepare_v2(connection.get(), "select quote(language) from current", -1, &raw,
                           nullptr) != SQLITE_OK)
        return {QStringLiteral("<no table current>")};
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
    while (sqlite3_step(raw) == SQLITE_ROW)
        cells.append(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0))));
    return cells;
}

QString fixtureName(int language, int displayLanguage)
{
    return QStringLiteral("lang%1 in %2 ·").arg(language).arg(displayLanguage);
}

QString fixtureText(int language, int column)
{
    return QStringLiteral("%1·%2").arg(QString::fromUtf8(languageKeyName(language))).arg(column);
}

QStringList fixtureNamesIn(int displayLanguage)
{
    QStringList names;
    for (int language = 0; language < languageCount; ++language)
        names.append(fixtureName(language, displayLanguage));
    return names;
}

bool writeFixtureDb(const QString& path, int storedLanguage)
{
    std::string sql = "create table current (language integer);"
                      "insert into current values (" +
                      std::to_string(storedLanguage) +
                      ");"
                      "create table language (c0, c1, c2, c3, c4, c5);";
    for (int row = 0; row < languageCount; ++row) {
        sql += "insert into language values (";
        for (int column = 0; column < languageCount; ++column)
            sql += (column ? "," : "") + quoted(fixtureName(row, column));
        sql += ");";
    }
    sql += "create table interface (id integer primary key, language text";
    for (int column = 2; column <= 17; ++column)
        sql += ", t" + std::to_string(column); // no type: cells keep the type they are given
    sql += ");";
    for (int language = 0; language < languageCount; ++language) {
        sql +=
            "insert into interface values (null, '" + std::string(languageKeyName(language)) + "'";
        for (int column = 2; column <= 17; ++column)
            sql += "," + quoted(fixtureText(language, column));
        sql += ");";
    }
    return runSql(path, sql);
}

QMap<int, int> columnOfControl()
{
    QMap<int, int> columns;
    for (const InterfaceColumn& entry : interfaceColumns)
        for (const int id : entry.controls())
            columns.insert(id, entry.column());
    return columns;
}

MessageBoxCatcher::MessageBoxCatcher()
{
    connect(&timer_, &QTimer::timeout, this, &MessageBoxCatcher::answerOpenBox);
    timer_.start(5);
}

QStringList MessageBoxCatcher::texts() const
{
    QStringList texts;
    for (const SeenMessage& message : seen_)
        texts.append(message.text);
    return texts;
}

void MessageBoxCatcher::answerOpenBox()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr)
        return;
    seen_.append(
        {box->text(), box->windowTitle(), box->icon(), box->standardButtons(), box->isModal()});
    if (QAbstractButton* ok = box->button(QMessageBox::Ok))
        ok->click();
    else
        box->reject(); // no OK button: still close it, the recorded buttons tell the story
}

SwitchHarness::SwitchHarness()
{
    box.setEditable(false);
}

void SwitchHarness::start(const QString& dbPath)
{
    languageSwitch.openLanguageDb(dbPath);
    languageSwitch.initLanguageTexts();
}

void SwitchHarness::choose(int entry)
{
    box.setCurrentIndex(entry);
    languageSwitch.applyLanguage();
}

QStringList SwitchHarness::entries() const
{
    QStringList entries;
    for (int index = 0; index < box.count(); ++index)
        entries.append(box.itemText(index));
    return entries;
}

} // namespace tavolix::test
