// The language switch over real database files: start-up, switching, storing
// the choice, falling back from numbers without a language, texts too long for
// a control, bad files, and the database that ships with the program.

#include "LanguageTestSupport.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace tavolix::test {
namespace {

const QString prepareFailed = u"Sqlite Prepare false"_s;
const QString updateFailed = u"Update database fall"_s;

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(LanguageSwitch, StartsInTheStoredLanguageAndStoresEverySwitch)
{
    FixtureFile db(3);
    SwitchHarness window(db.path);
    expectTextsOf(window.target, 3);
    EXPECT_EQ(window.entries(), fixtureNamesIn(3));
    EXPECT_EQ(window.box.currentIndex(), 3);
    EXPECT_EQ(window.target.appliedCount, 1);

    window.choose(2);
    expectTextsOf(window.target, 2);
    EXPECT_EQ(window.entries(), fixtureNamesIn(2));
    EXPECT_EQ(window.box.currentIndex(), 2);
    EXPECT_EQ(currentCells(db.path), "2");

    // The second switch is stored too, and reads the file again.
    ASSERT_TRUE(runSql(db.path, "update interface set t6='renamed' where language='Japan';"
                                "update language set c5='fresh' where rowid=1;"));
    window.choose(5);
    EXPECT_EQ(window.target.texts.value(1023), u"renamed"_s);
    EXPECT_EQ(window.target.texts.value(1002), fixtureText(5, 15));
    EXPECT_EQ(window.entries().value(0), u"fresh"_s);
    EXPECT_EQ(currentCells(db.path), "5");
    EXPECT_EQ(window.target.appliedCount, 3);
    EXPECT_TRUE(window.messages.texts.isEmpty());
}

TEST(LanguageSwitch, LanguageWithoutInterfaceRowRebuildsTheBoxAndStillStores)
{
    FixtureFile db(0);
    ASSERT_TRUE(runSql(db.path, "delete from interface where language='ChinaBG';"));
    SwitchHarness window(db.path);
    window.choose(2);

    expectTextsOf(window.target, 0);
    EXPECT_EQ(window.entries(), fixtureNamesIn(2));
    EXPECT_EQ(window.box.currentIndex(), 2);
    EXPECT_EQ(currentCells(db.path), "2");
    EXPECT_TRUE(window.messages.texts.isEmpty());
}

TEST(LanguageSwitch, StoredNumberWithoutALanguageStartsInTheFirstLanguage)
{
    // The fixture stores 3 before the change; the user then chooses 5. Without
    // a 32-bit integer cell the choice cannot replace a number that is not there.
    const struct
    {
        const char* change;
        int startsIn;
        QStringList messages;
        const char* cellsAfterChoice;
    } cases[] = {
        // clang-format off
        {"update current set language=6;", 0, {}, "5"},
        {"update current set language=-1;", 0, {}, "5"},
        {"update current set language='French';", 0, {updateFailed}, "'French'"},
        {"update current set language=4294967299;", 0, {updateFailed}, "4294967299"},
        {"update current set language=null;", 0, {updateFailed}, "NULL"},
        {"delete from current;", 0, {updateFailed}, ""},
        // The last integer cell counts, and only its row changes.
        {"insert into current values ('x'), (4), (2.5);", 4, {}, "3,'x',5,2.5"},
        // clang-format on
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.change);
        FixtureFile db(3);
        ASSERT_TRUE(runSql(db.path, testCase.change));
        SwitchHarness window(db.path);
        expectTextsOf(window.target, testCase.startsIn);
        EXPECT_EQ(window.box.currentIndex(), testCase.startsIn);
        EXPECT_TRUE(window.messages.texts.isEmpty());

        window.choose(5);
        expectTextsOf(window.target, 5);
        EXPECT_EQ(window.messages.texts, testCase.messages);
        EXPECT_EQ(currentCells(db.path), testCase.cellsAfterChoice);
    }
}

TEST(LanguageSwitch, LongTextsAreCutTo259BytesBetweenCharacters)
{
    const std::string euro = "\xE2\x82\xAC", grin = "\xF0\x9F\x98\x80";
    const std::string sun300 = QString(100, u'\u65E5').toStdString(); // 3 bytes each
    const struct
    {
        int control;
        std::string text;
        std::size_t kept;
    } cases[] = {
        // clang-format off
        {1022, std::string(256, 'a') + euro, 259},       // ends at the limit
        {1024, std::string(258, 'a') + "\xC3\xA9", 258}, // 2 bytes across it
        {1025, std::string(257, 'a') + euro + "b", 257}, // 3 bytes across it
        {1026, std::string(256, 'a') + grin, 256},       // 4 bytes across it
        {1027, std::string(255, 'a') + grin + "b", 259}, // 4 bytes ending at it
        {1028, sun300, 258},                             // only 3-byte characters
        {1001, std::string(250, 'a') + std::string(20, '\x80'), 259}, // stray continuations
        // clang-format on
    };
    FixtureFile db(0);
    std::string sql = "update language set c0='" + sun300 + "' where rowid=6;";
    for (const auto& testCase : cases)
        sql += "update interface set t" + std::to_string(columnOfControl.value(testCase.control)) +
               "='" + testCase.text + "' where language='English';";
    ASSERT_TRUE(runSql(db.path, sql));
    SwitchHarness window(db.path);

    for (const auto& testCase : cases)
        EXPECT_EQ(window.target.texts.value(testCase.control),
                  QString::fromStdString(testCase.text.substr(0, testCase.kept)))
            << testCase.control;
    EXPECT_EQ(window.entries().value(5), QString::fromStdString(sun300.substr(0, 258)));
}

TEST(LanguageDbFailure, BadFileAtStartUpLeavesTheTemplateTextsAndTheFile)
{
    const auto removed = [](const QString& path) { return QFile::remove(path); };
    const auto folder = [](const QString& path) {
        return QFile::remove(path) && QDir().mkdir(path);
    };
    const auto notes = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(QByteArray("notes\n").repeated(200));
    };
    const auto sql = [](const std::string& statements) {
        return [statements](const QString& path) { return runSql(path, statements); };
    };
    // Points the table at an index's pages: its schema still reads, its rows do not.
    const auto damage = [&](const std::string& table) {
        return sql("create index spare on current(language); pragma writable_schema=on;"
                   "update sqlite_master set rootpage=(select rootpage from sqlite_master where "
                   "name='spare') where name='" +
                   table + "';");
    };
    const struct
    {
        const char* name;
        std::function<bool(const QString&)> spoil;
        QStringList messages;
        int boxEntries; // what start-up had done before it stopped
    } cases[] = {
        // clang-format off
        {"missing file, created empty", removed, {prepareFailed}, 0},
        {"a folder, cannot be opened", folder, {u"open datebase false"_s, prepareFailed}, 0},
        {"not a database", notes, {prepareFailed}, 0},
        {"no table current", sql("drop table current;"), {prepareFailed}, 0},
        {"no table language", sql("drop table language;"), {prepareFailed}, 0},
        {"no table interface", sql("drop table interface;"), {prepareFailed}, 6},
        {"damaged table language", damage("language"), {prepareFailed}, 0},
        {"damaged table interface", damage("interface"), {prepareFailed}, 6},
        // clang-format on
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        FixtureFile db(3);
        ASSERT_TRUE(testCase.spoil(db.path));
        const QByteArray before = fileBytes(db.path);
        SwitchHarness window(db.path);
        window.languageSwitch.closeLanguageDb();

        EXPECT_EQ(window.messages.texts, testCase.messages);
        EXPECT_TRUE(window.target.texts.isEmpty());
        EXPECT_EQ(window.box.count(), testCase.boxEntries);
        EXPECT_EQ(fileBytes(db.path), before);
    }
}

TEST(LanguageDbFailure, TableLostWhileRunningRebuildsTheBoxButChangesAndStoresNothing)
{
    FixtureFile db;
    SwitchHarness window(db.path);
    ASSERT_TRUE(runSql(db.path, "drop table interface;"));
    window.choose(5);

    EXPECT_EQ(window.messages.texts, QStringList{prepareFailed});
    expectTextsOf(window.target, 0);
    EXPECT_EQ(window.entries(), fixtureNamesIn(5));
    EXPECT_EQ(window.target.appliedCount, 1);
    EXPECT_EQ(currentCells(db.path), "0");
}

TEST(LanguageDbFailure, CellsThatAreNotTextAreSkipped)
{
    FixtureFile db;
    ASSERT_TRUE(runSql(db.path,
                       "update interface set t3=null, t6=42, t13=x'00' where language='French';"
                       "update language set c3=null where rowid=3;"
                       "update language set c0=7 where rowid=2;"));
    SwitchHarness window(db.path);
    // A name cell that is not text never borrows another language's name:
    // only a name of the same row, or nothing.
    EXPECT_EQ(window.entries().value(1), QString());
    EXPECT_EQ(window.entries().value(2), fixtureName(2, 0));

    window.choose(3);
    EXPECT_EQ(window.entries().value(2), fixtureName(2, 2));
    // Password labels, name label and title keep their English texts.
    for (const int control : {1020, 1039, 1023, static_cast<int>(ControlId::WindowTitle)})
        EXPECT_EQ(window.target.texts.value(control),
                  fixtureText(0, columnOfControl.value(control)))
            << control;
    EXPECT_EQ(window.target.texts.value(1024), fixtureText(3, 7));
    EXPECT_EQ(currentCells(db.path), "3");
    EXPECT_TRUE(window.messages.texts.isEmpty());
}

TEST(LanguageDbFailure, ReadOnlyFileStillSwitchesButStoresNothing)
{
    FixtureFile db;
    QFile file(db.path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.seek(18)); // the write version:
    ASSERT_EQ(file.write("\x03", 1), 1);                           // above 2 SQLite only reads
    file.close();

    SwitchHarness window(db.path);
    EXPECT_TRUE(window.messages.texts.isEmpty()) << "start-up must not rewrite the stored number";
    window.choose(4);
    EXPECT_EQ(window.messages.texts, QStringList{updateFailed});
    expectTextsOf(window.target, 4);
    EXPECT_EQ(window.languageSwitch.storedLanguage(), 0);
    window.languageSwitch.closeLanguageDb();
    EXPECT_EQ(currentCells(db.path), "0");
}

TEST(ShippedLanguageDb, HoldsEveryTextInSixLanguages)
{
    // A private copy, so the test never changes the shipped file.
    QTemporaryDir dir;
    const QString path = dir.filePath(u"language.db"_s);
    ASSERT_TRUE(QFile::copy(QString::fromUtf8(TAVOLIX_SHIPPED_LANGUAGE_DB), path));
    EXPECT_EQ(currentCells(path), "0");

    SwitchHarness window(path);
    EXPECT_EQ(window.target.texts.value(static_cast<int>(ControlId::WindowTitle)), u"Tavolix"_s);
    QSet<QString> titles;
    for (int language = 0; language < 6; ++language) {
        SCOPED_TRACE(language);
        window.target.texts.clear();
        window.choose(language);
        const QStringList names = window.entries();
        EXPECT_EQ(QSet<QString>(names.cbegin(), names.cend()).size(), 6);
        EXPECT_EQ(names.size(), 6);
        EXPECT_FALSE(names.contains(QString()));
        // Every control of the column table gets a text.
        EXPECT_EQ(window.target.texts.keys(), columnOfControl.keys());
        for (const QString& text : std::as_const(window.target.texts))
            EXPECT_FALSE(text.trimmed().isEmpty());
        titles.insert(window.target.texts.value(static_cast<int>(ControlId::WindowTitle)));
        EXPECT_EQ(currentCells(path), std::to_string(language));
    }
    // The product's name in every language: a second start finds the window by it.
    EXPECT_EQ(titles, QSet<QString>{u"Tavolix"_s});

    // Rows are languages and columns the language they are written in.
    window.choose(3);
    EXPECT_EQ(window.entries().value(3), u"Français"_s);
    EXPECT_EQ(window.entries().value(0), u"Anglais"_s);
    EXPECT_EQ(window.target.texts.value(1002), u"Quitter"_s);
    EXPECT_TRUE(window.messages.texts.isEmpty());
}

} // namespace
} // namespace tavolix::test
