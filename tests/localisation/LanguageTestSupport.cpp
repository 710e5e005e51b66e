#include "LanguageTestSupport.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <gtest/gtest.h>
#include <memory>
#include <sqlite3.h>

namespace tavolix::test {

namespace {

const char* const keyNames[] = {"English", "ChinaGB", "ChinaBG", "French", "German", "Japan"};

bool exec(const QString& path, const std::string& sql,
          int (*callback)(void*, int, char**, char**) = nullptr, void* argument = nullptr)
{
    sqlite3* raw = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &raw);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> connection(raw, sqlite3_close);
    char* error = nullptr;
    if (sqlite3_exec(raw, sql.c_str(), callback, argument, &error) == SQLITE_OK)
        return true;
    ADD_FAILURE() << "SQL failed: " << (error ? error : "?") << "\n" << sql;
    sqlite3_free(error);
    return false;
}

} // namespace

bool runSql(const QString& path, const std::string& sql)
{
    return exec(path, sql);
}

std::string currentCells(const QString& path)
{
    std::string cells;
    exec(
        path, "select ifnull(group_concat(quote(language)), '') from current",
        [](void* out, int, char** values, char**) {
            *static_cast<std::string*>(out) = values[0];
            return 0;
        },
        &cells);
    return cells;
}

QString fixtureName(int language, int displayLanguage)
{
    return u"lang%1 in %2 ·"_s.arg(language).arg(displayLanguage);
}

QString fixtureText(int language, int column)
{
    return u"%1·%2"_s.arg(QString::fromUtf8(keyNames[language])).arg(column);
}

QStringList fixtureNamesIn(int displayLanguage)
{
    QStringList names;
    for (int language = 0; language < 6; ++language)
        names.append(fixtureName(language, displayLanguage));
    return names;
}

FixtureFile::FixtureFile(int storedLanguage)
{
    const auto quoted = [](const QString& text) { return "'" + text.toStdString() + "'"; };
    std::string sql = "create table current (language integer);"
                      "insert into current values (" +
                      std::to_string(storedLanguage) +
                      ");"
                      "create table language (c0, c1, c2, c3, c4, c5);"
                      "create table interface (id integer primary key, language text";
    for (int column = 2; column <= 17; ++column)
        sql += ", t" + std::to_string(column); // no type: cells keep the type they are given
    sql += ");";
    for (int language = 0; language < 6; ++language) {
        sql += "insert into language values (";
        for (int column = 0; column < 6; ++column)
            sql += (column ? "," : "") + quoted(fixtureName(language, column));
        sql += std::string(");insert into interface values (null, '") + keyNames[language] + "'";
        for (int column = 2; column <= 17; ++column)
            sql += "," + quoted(fixtureText(language, column));
        sql += ");";
    }
    EXPECT_TRUE(runSql(path, sql));
}

void expectTextsOf(const RecordingTarget& target, int language)
{
    ASSERT_EQ(target.texts.keys(), columnOfControl.keys());
    for (auto entry = columnOfControl.cbegin(); entry != columnOfControl.cend(); ++entry)
        EXPECT_EQ(target.texts.value(entry.key()), fixtureText(language, entry.value()))
            << "control " << entry.key();
}

MessageBoxCatcher::MessageBoxCatcher()
{
    QObject::connect(&timer, &QTimer::timeout, [this] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        texts.append(box->text());
        EXPECT_EQ(box->windowTitle(),
                  QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        EXPECT_EQ(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        box->done(QMessageBox::Ok);
    });
    timer.start(5);
}

QStringList SwitchHarness::entries() const
{
    QStringList entries;
    for (int index = 0; index < box.count(); ++index)
        entries.append(box.itemText(index));
    return entries;
}

} // namespace tavolix::test
