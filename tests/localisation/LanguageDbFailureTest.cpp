// Bad language databases: each gets its message, loses nothing and leaves the
// window in a defined state.

#include "LanguageTestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>
#include <unistd.h>

namespace tavolix::test {
namespace {

const QString prepareFailed = QStringLiteral("Sqlite Prepare false");
const QString updateFailed = QStringLiteral("Update database fall");

void expectUntouchedWindow(const SwitchHarness& window)
{
    EXPECT_TRUE(window.target.texts.isEmpty());
    EXPECT_EQ(window.target.appliedCount, 0);
    EXPECT_EQ(window.box.count(), 0);
    EXPECT_EQ(window.languageSwitch.currentLanguage(), -1);
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

TEST(LanguageDbFailure, MissingFileIsCreatedEmptyAndTheWindowKeepsItsTemplateTexts)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("language.db"));
    SwitchHarness window;
    window.start(path);

    EXPECT_EQ(window.messages.texts(), QStringList{prepareFailed});
    expectUntouchedWindow(window);
    ASSERT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(QFileInfo(path).size(), 0);
}

TEST(LanguageDbFailure, FileThatCannotBeOpenedIsReportedAndEveryQueryFails)
{
    QTemporaryDir dir;
    SwitchHarness window;
    window.start(dir.filePath(QStringLiteral("no-such-folder/language.db")));

    EXPECT_EQ(window.messages.texts(),
              (QStringList{QStringLiteral("open datebase false"), prepareFailed}));
    expectUntouchedWindow(window);
    window.choose(0);
    EXPECT_EQ(window.messages.texts().size(), 3);
    EXPECT_EQ(window.messages.texts().value(2), prepareFailed);

    // Each box: a modal warning with OK, captioned with the program's name.
    const QString programName =
        QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    for (const SeenMessage& message : window.messages.seen()) {
        EXPECT_EQ(message.caption, programName);
        EXPECT_EQ(message.icon, QMessageBox::Warning);
        EXPECT_EQ(message.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        EXPECT_TRUE(message.modal);
    }
}

TEST(LanguageDbFailure, FileThatIsNotADatabaseIsReportedAndLeftAsItWas)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("language.db"));
    const QByteArray notes = QByteArray("These are notes, not a database.\n").repeated(40);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(notes);
    }
    SwitchHarness window;
    window.start(path);
    window.choose(0);
    window.languageSwitch.closeLanguageDb();

    EXPECT_EQ(window.messages.texts(), (QStringList{prepareFailed, prepareFailed}));
    expectUntouchedWindow(window);
    EXPECT_EQ(fileBytes(path), notes);
}

// Overwrites the first page of a table's data, leaving the schema readable.
bool damageTable(const QString& path, const char* table)
{
    sqlite3* raw = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &raw);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> connection(raw, sqlite3_close);
    sqlite3_stmt* statement = nullptr;
    const std::string query =
        std::string("select rootpage, (select page_size from pragma_page_size) from sqlite_master "
                    "where name='") +
        table + "'";
    if (sqlite3_prepare_v2(raw, query.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        return false;
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> finalizer(statement,
                                                                          sqlite3_finalize);
    if (sqlite3_step(statement) != SQLITE_ROW)
        return false;
    const qint64 pageSize = sqlite3_column_int64(statement, 1);
    const qint64 offset = (sqlite3_column_int64(statement, 0) - 1) * pageSize;
    QFile file(path);
    return offset > 0 && file.open(QIODevice::ReadWrite) && file.seek(offset) &&
           file.write(QByteArray(pageSize, '\xFF')) == pageSize;
}

TEST(LanguageDbFailure, MissingOrDamagedTableStopsItsStepAndStoresNothing)
{
    const auto runSqlOn = [](const char* sql) {
        return [sql](const QString& path) { return runSql(path, sql); };
    };
    const auto damage = [](const char* table) {
        return [table](const QString& path) { return damageTable(path, table); };
    };
    const struct
    {
        const char* name;
        std::function<bool(const QString&)> spoil;
        int boxEntries; // what the step had done before it stopped
    } cases[] = {
        {"no table current", runSqlOn("drop table current;"), 0},
        {"no table language", runSqlOn("drop table language;"), 0},
        {"no table interface", runSqlOn("drop table interface;"), 6},
        {"damaged table language", damage("language"), 0},
        {"damaged table interface", damage("interface"), 6},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("language.db"));
        ASSERT_TRUE(writeFixtureDb(path, 3));
        ASSERT_TRUE(testCase.spoil(path));
        SwitchHarness window;
        window.start(path);
        EXPECT_EQ(window.messages.texts(), QStringList{prepareFailed});
        EXPECT_TRUE(window.target.texts.isEmpty());
        EXPECT_EQ(window.target.appliedCount, 0);
        EXPECT_EQ(window.box.count(), testCase.boxEntries);
    }

    // A table lost while running: the box is rebuilt, no text changes and
    // the choice is not stored.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("language.db"));
    ASSERT_TRUE(writeFixtureDb(path, 0));
    SwitchHarness window;
    window.start(path);
    ASSERT_TRUE(runSql(path, "drop table interface;"));
    const QMap<int, QString> textsBefore = window.target.texts;
    window.choose(5);
    EXPECT_EQ(window.messages.texts(), QStringList{prepareFailed});
    EXPECT_EQ(window.target.texts, textsBefore);
    EXPECT_EQ(window.entries(), fixtureNamesIn(5));
    EXPECT_EQ(window.target.appliedCount, 1);
    EXPECT_EQ(window.languageSwitch.currentLanguage(), 0);
    EXPECT_EQ(currentCells(path), QStringList{QStringLiteral("0")});
}

TEST(LanguageDbFailure, CellsThatAreNotTextAreSkipped)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("language.db"));
    ASSERT_TRUE(writeFixtureDb(path, 0));
    ASSERT_TRUE(runSql(path,
                       "update interface set t3=null, t6=42, t13=x'00' where language='French';"
                       "update language set c3=null where rowid=3;"
                       "update language set c0=7 where rowid=2;"));
    SwitchHarness window;
    window.start(path);
    // A name cell that is not text never borrows another language's name:
    // only a name of the same row, or nothing.
    EXPECT_EQ(window.entries().value(1), QString());
    EXPECT_EQ(window.entries().value(2), fixtureName(2, 0));

    window.choose(3);
    EXPECT_EQ(window.entries().value(2), fixtureName(2, 2));
    // Password labels, name label and title keep their English texts.
    for (const int control : {1020, 1039})
        EXPECT_EQ(window.target.texts.value(control), fixtureText(0, 3)) << control;
    EXPECT_EQ(window.target.texts.value(1023), fixtureText(0, 6));
    EXPECT_EQ(window.target.texts.value(windowTitleControl), fixtureText(0, 13));
    EXPECT_EQ(window.target.texts.value(1024), fixtureText(3, 7));
    EXPECT_EQ(currentCells(path), QStringList{QStringLiteral("3")});
    EXPECT_TRUE(window.messages.texts().isEmpty());
}

// The language can be switched but not written down: the switch is applied,
// the user is told, and the file keeps what it had.
void expectSwitchWithoutStore(const QString& path)
{
    SwitchHarness window;
    window.start(path);
    EXPECT_TRUE(window.messages.texts().isEmpty()) << "start-up must not rewrite the stored number";

    window.choose(4);
    EXPECT_EQ(window.messages.texts(), QStringList{updateFailed});
    EXPECT_EQ(window.target.texts.value(1002), fixtureText(4, 15));
    EXPECT_EQ(window.box.currentIndex(), 4);
    EXPECT_EQ(window.target.appliedCount, 2);
    EXPECT_EQ(window.languageSwitch.currentLanguage(), 4);
    EXPECT_EQ(window.languageSwitch.storedLanguage(), 0);

    window.choose(1);
    EXPECT_EQ(window.messages.texts(), (QStringList{updateFailed, updateFailed}));
    EXPECT_EQ(window.target.texts.value(1002), fixtureText(1, 15));
    window.languageSwitch.closeLanguageDb();
    EXPECT_EQ(currentCells(path), QStringList{QStringLiteral("0")});
}

TEST(LanguageDbFailure, UnwritableFileStillSwitches)
{
    {
        SCOPED_TRACE("file marked read-only in its header");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("language.db"));
        ASSERT_TRUE(writeFixtureDb(path, 0));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.seek(18)); // write version: above 2 SQLite only reads
        ASSERT_EQ(file.write("\x03", 1), 1);
        file.close();
        expectSwitchWithoutStore(path);
    }
    {
        SCOPED_TRACE("file locked for writing by another program");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("language.db"));
        ASSERT_TRUE(writeFixtureDb(path, 0));
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &raw), SQLITE_OK);
        const std::unique_ptr<sqlite3, int (*)(sqlite3*)> other(raw, sqlite3_close);
        ASSERT_EQ(sqlite3_exec(raw, "begin immediate", nullptr, nullptr, nullptr), SQLITE_OK);
        expectSwitchWithoutStore(path);
        sqlite3_exec(raw, "rollback", nullptr, nullptr, nullptr);
    }
}

TEST(LanguageDbFailure, WriteProtectedFileStillSwitches)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind root";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("language.db"));
    ASSERT_TRUE(writeFixtureDb(path, 0));
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));
    expectSwitchWithoutStore(path);
}

} // namespace
} // namespace tavolix::test
