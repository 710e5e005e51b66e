// The language switch over a real database file: start-up, switching,
// storing the choice and falling back from numbers without a language.

#include "LanguageTestSupport.h"

#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <limits>

namespace tavolix::test {
namespace {

// Every control of the column table shows `language`'s text of its column,
// and no other control was touched.
void expectTextsOf(const RecordingTarget& target, int language)
{
    const QMap<int, int> columns = columnOfControl();
    ASSERT_EQ(target.texts.keys(), columns.keys());
    for (auto entry = columns.cbegin(); entry != columns.cend(); ++entry)
        EXPECT_EQ(target.texts.value(entry.key()), fixtureText(language, entry.value()))
            << "control " << entry.key();
}

struct FixtureFile
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("language.db"));
};

TEST(LanguageSwitch, StartsInTheStoredLanguage)
{
    FixtureFile db;
    ASSERT_TRUE(writeFixtureDb(db.path, 3));
    SwitchHarness window;
    window.start(db.path);

    EXPECT_TRUE(window.messages.texts().isEmpty());
    expectTextsOf(window.target, 3);
    // Columns in order; a column feeding two labels sets them in table order.
    EXPECT_EQ(window.target.order, (QList<int>{1019, 1038, 1020, 1039, 1022, 1023, 1024, 1025, 1026,
                                               1027, 1012, 1028, windowTitleControl, 1001, 1002}));
    EXPECT_EQ(window.entries(), fixtureNamesIn(3));
    EXPECT_EQ(window.box.currentIndex(), 3);
    EXPECT_EQ(window.languageSwitch.currentLanguage(), 3);
    EXPECT_EQ(window.languageSwitch.storedLanguage(), 3);
    EXPECT_EQ(window.target.appliedCount, 1);
    EXPECT_EQ(currentCells(db.path), QStringList{QStringLiteral("3")});
}

TEST(LanguageSwitch, EachSwitchReadsAgainAndIsStored)
{
    FixtureFile db;
    ASSERT_TRUE(writeFixtureDb(db.path, 0));
    SwitchHarness window;
    window.start(db.path);
    expectTextsOf(window.target, 0);

    window.choose(2);
    expectTextsOf(window.target, 2);
    EXPECT_EQ(window.entries(), fixtureNamesIn(2));
    EXPECT_EQ(window.box.currentIndex(), 2);
    EXPECT_EQ(currentCells(db.path), QStringList{QStringLiteral("2")});
    EXPECT_EQ(window.languageSwitch.storedLanguage(), 2);

    // Nothing is cached: a change in the file shows at the next switch.
    ASSERT_TRUE(runSql(db.path, "update interface set t6='renamed' where language='French';"
                                "update language set c3='fresh' where rowid=1;"));
    // The window switches on the box's user selection; an arrow key is one.
    QObject::connect(&window.box, &QComboBox::activated,
                     [&window] { window.languageSwitch.applyLanguage(); });
    QTest::keyClick(&window.box, Qt::Key_Down);

    EXPECT_EQ(window.box.currentIndex(), 3);
    EXPECT_EQ(window.target.texts.value(1023), QStringLiteral("renamed"));
    EXPECT_EQ(window.target.texts.value(1002), fixtureText(3, 15));
    EXPECT_EQ(window.entries().value(0), QStringLiteral("fresh"));
    EXPECT_EQ(currentCells(db.path), QStringList{QStringLiteral("3")});
    EXPECT_EQ(window.languageSwitch.currentLanguage(), 3);
    EXPECT_EQ(window.languageSwitch.storedLanguage(), 3);
    EXPECT_EQ(window.target.appliedCount, 3);
    EXPECT_TRUE(window.messages.texts().isEmpty());
}

TEST(LanguageSwitch, LanguageWithoutInterfaceRowRebuildsTheBoxAndStillStores)
{
    FixtureFile db;
    ASSERT_TRUE(writeFixtureDb(db.path, 0));
    ASSERT_TRUE(runSql(db.path, "delete from interface where language='ChinaBG';"));
    SwitchHarness window;
    window.start(db.path);
    const QMap<int, QString> englishTexts = window.target.texts;
    window.target.order.clear();

    window.choose(2);

    EXPECT_TRUE(window.target.order.isEmpty());
    EXPECT_EQ(window.target.texts, englishTexts);
    EXPECT_EQ(window.entries(), fixtureNamesIn(2));
    EXPECT_EQ(window.box.currentIndex(), 2);
    EXPECT_EQ(currentCells(db.path), QStringList{QStringLiteral("2")});
    EXPECT_EQ(window.target.appliedCount, 2);
    EXPECT_TRUE(window.messages.texts().isEmpty());
}

TEST(LanguageSwitch, StoredNumberWithoutAnEntryFallsBackToTheFirstLanguage)
{
    for (const int stored :
         {6, -1, std::numeric_limits<int>::max(), std::numeric_limits<int>::min()}) {
        SCOPED_TRACE(stored);
        FixtureFile db;
        ASSERT_TRUE(writeFixtureDb(db.path, stored));
        SwitchHarness window;
        window.start(db.path);

        expectTextsOf(window.target, 0);
        EXPECT_EQ(window.entries(), fixtureNamesIn(0));
        EXPECT_EQ(window.box.currentIndex(), 0);
        EXPECT_EQ(window.languageSwitch.currentLanguage(), 0);
        EXPECT_EQ(window.languageSwitch.storedLanguage(), 0);
        EXPECT_EQ(currentCells(db.path), QStringList{QStringLiteral("0")});
        EXPECT_TRUE(window.messages.texts().isEmpty());
    }
}

TEST(LanguageSwitch, TableCurrentWithoutUsableNumberStartsInTheFirstLanguage)
{
    // No 32-bit integer cell: nothing to start from but the first language,
    // and a later choice cannot be stored over a number that is not there.
    const struct
    {
        const char* change;
        QStringList cellsKept;
    } cases[] = {
        {"update current set language='French';", {QStringLiteral("'French'")}},
        {"update current set language=4294967299;", {QStringLiteral("4294967299")}},
        {"update current set language=null;", {QStringLiteral("NULL")}},
        {"delete from current;", {}},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.change);
        FixtureFile db;
        ASSERT_TRUE(writeFixtureDb(db.path, 3));
        ASSERT_TRUE(runSql(db.path, testCase.change));
        SwitchHarness window;
        window.start(db.path);
        expectTextsOf(window.target, 0);
        EXPECT_EQ(window.box.currentIndex(), 0);
        EXPECT_TRUE(window.messages.texts().isEmpty());

        window.choose(4);
        expectTextsOf(window.target, 4);
        EXPECT_EQ(window.messages.texts(), QStringList{QStringLiteral("Update database fall")});
        EXPECT_EQ(window.languageSwitch.currentLanguage(), 4);
        EXPECT_EQ(window.languageSwitch.storedLanguage(), 0);
        EXPECT_EQ(currentCells(db.path), testCase.cellsKept);
    }
}

TEST(LanguageSwitch, LastIntegerCellOfTableCurrentIsTheStoredNumber)
{
    FixtureFile db;
    ASSERT_TRUE(writeFixtureDb(db.path, 1));
    ASSERT_TRUE(runSql(db.path, "insert into current values ('x'); insert into current values (4);"
                                "insert into current values (2.5);"));
    SwitchHarness window;
    window.start(db.path);
    expectTextsOf(window.target, 4);

    window.choose(5);
    // Only the row that held the stored number changes.
    EXPECT_EQ(currentCells(db.path), (QStringList{QStringLiteral("1"), QStringLiteral("'x'"),
                                                  QStringLiteral("5"), QStringLiteral("2.5")}));
    EXPECT_TRUE(window.messages.texts().isEmpty());
}

} // namespace
} // namespace tavolix::test
