// The language database that ships with the program, as the build made it.

#include "InterfaceColumns.h"
#include "LanguageKeys.h"
#include "LanguageTestSupport.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace tavolix::test {
namespace {

const QString shippedPath = QString::fromUtf8(TAVOLIX_SHIPPED_LANGUAGE_DB);

// A private copy, so the tests never change the shipped file.
struct ShippedCopy
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("language.db"));
    bool made = QFile::copy(shippedPath, path);
};

TEST(ShippedLanguageDb, HoldsEveryTextInSixLanguages)
{
    ShippedCopy db;
    ASSERT_TRUE(db.made) << shippedPath.toStdString();
    EXPECT_EQ(currentCells(db.path), QStringList{QStringLiteral("0")});

    SwitchHarness window;
    window.start(db.path);
    QSet<QString> titles;
    for (int language = 0; language < languageCount; ++language) {
        SCOPED_TRACE(language);
        window.target.texts.clear();
        window.choose(language);

        // Six distinct names, written in the language itself.
        const QStringList names = window.entries();
        ASSERT_EQ(names.size(), languageCount);
        EXPECT_EQ(QSet<QString>(names.cbegin(), names.cend()).size(), languageCount);
        EXPECT_FALSE(names.contains(QString()));
        EXPECT_EQ(window.box.currentIndex(), language);

        // Every control of the column table gets a text.
        const QMap<int, int> columns = columnOfControl();
        EXPECT_EQ(window.target.texts.keys(), columns.keys());
        for (const QString& text : std::as_const(window.target.texts))
            EXPECT_FALSE(text.trimmed().isEmpty());
        titles.insert(window.target.texts.value(windowTitleControl));
        if (language == 0)
            EXPECT_EQ(window.target.texts.value(windowTitleControl), QStringLiteral("Tavolix"));
        else
            EXPECT_NE(window.target.texts.value(windowTitleControl), QStringLiteral("Tavolix"));
        EXPECT_EQ(currentCells(db.path), QStringList{QString::number(language)});
    }
    EXPECT_EQ(titles.size(), languageCount);
    EXPECT_TRUE(window.messages.texts().isEmpty());

    // Start-up in a stored language other than English.
    ASSERT_TRUE(runSql(db.path, "update current set language=3;"));
    SwitchHarness french;
    french.start(db.path);
    EXPECT_EQ(french.entries().value(3), QStringLiteral("Français"));
    EXPECT_EQ(french.entries().value(0), QStringLiteral("Anglais"));
    EXPECT_EQ(french.target.texts.value(1002), QStringLiteral("Quitter"));
}

TEST(ShippedLanguageDb, EveryInterfaceCellFromTwoToFifteenIsText)
{
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(QFile::encodeName(shippedPath).constData(), &raw,
                              SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> connection(raw, sqlite3_close);
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(
        sqlite3_prepare_v2(raw, "select * from interface order by rowid", -1, &statement, nullptr),
        SQLITE_OK);
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> finalizer(statement,
                                                                          sqlite3_finalize);
    QStringList keys;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        ASSERT_GE(sqlite3_column_count(statement), 16);
        keys.append(
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 1))));
        for (int column = 2; column <= 15; ++column) {
            EXPECT_EQ(sqlite3_column_type(statement, column), SQLITE_TEXT) << column;
            EXPECT_GT(sqlite3_column_bytes(statement, column), 0) << column;
        }
    }
    EXPECT_EQ(keys, (QStringList{QStringLiteral("English"), QStringLiteral("ChinaGB"),
                                 QStringLiteral("ChinaBG"), QStringLiteral("French"),
                                 QStringLiteral("German"), QStringLiteral("Japan")}));
}

} // namespace
} // namespace tavolix::test
