// The language switch over database files made on the spot, a real combo box and message boxes.

#include "LanguageSwitch.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QSet>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sqlite3.h>

namespace tavolix::test {
namespace {

using namespace Qt::StringLiterals;
using Spoil = std::function<bool(const QString&)>;

const QString prepareFailed = u"Sqlite Prepare false"_s;
const QString updateFailed = u"Update database fall"_s;
const char* const keyNames[] = {"English", "ChinaGB", "ChinaBG", "French", "German", "Japan"};
constexpr int title = static_cast<int>(ControlId::WindowTitle);

const QMap<int, int> columnOfControl{{1019, 2},  {1038, 2},  {1020, 3},  {1039, 3},  {1022, 5},
                                     {1023, 6},  {1024, 7},  {1025, 8},  {1026, 9},  {1027, 10},
                                     {1012, 11}, {1028, 12}, {1001, 14}, {1002, 15}, {title, 13}};

// Through a connection of its own; `firstCell` takes the first column of the last row.
bool runSql(const QString& path, const std::string& sql, std::string* firstCell = nullptr)
{
    sqlite3* raw = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &raw);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> connection(raw, sqlite3_close);
    const auto keep = [](void* out, int, char** values, char**) {
        *static_cast<std::string*>(out) = values[0];
        return 0;
    };
    char* error = nullptr;
    const int result =
        sqlite3_exec(raw, sql.c_str(), firstCell ? +keep : nullptr, firstCell, &error);
    EXPECT_EQ(result, SQLITE_OK) << (error ? error : "?") << "\n" << sql;
    sqlite3_free(error);
    return result == SQLITE_OK;
}

Spoil sql(const std::string& statements)
{
    return [statements](const QString& path) { return runSql(path, statements); };
}

// As SQL literals joined by commas ("3,'x'").
std::string currentCells(const QString& path)
{
    std::string cells;
    runSql(path, "select ifnull(group_concat(quote(language)), '') from current", &cells);
    return cells;
}

// Six languages whose names and texts say where they come from; interface columns 2..17.
const auto fixtureName = [](int lang, int shownIn) {
    return u"lang%1 in %2 ·"_s.arg(lang).arg(shownIn);
};
const auto fixtureText = [](int lang, int column) {
    return u"%1·%2"_s.arg(QLatin1StringView(keyNames[lang])).arg(column);
};

struct FixtureFile
{
    explicit FixtureFile(int storedLanguage = 0)
    {
        QString statements =
            u"create table current (language integer); insert into current values (%1);"
            "create table language (c0, c1, c2, c3, c4, c5);"
            "create table interface (id integer primary key, language text"_s.arg(storedLanguage);
        for (int column = 2; column <= 17; ++column)
            statements += u", t%1"_s.arg(column); // no type: cells keep theirs
        for (int language = 0; language < 6; ++language) {
            QStringList names, texts{QLatin1StringView(keyNames[language])};
            for (int column = 0; column < 6; ++column)
                names.append(fixtureName(language, column));
            for (int column = 2; column <= 17; ++column)
                texts.append(fixtureText(language, column));
            statements += u"); insert into language values ('%1');"
                          "insert into interface values (null, '%2'"_s.arg(names.join(u"','"),
                                                                           texts.join(u"','"));
        }
        EXPECT_TRUE(runSql(path, statements.toStdString() + ");"));
    }
    QTemporaryDir dir;
    QString path = dir.filePath(u"language.db"_s);
};

// Records the texts set and the message boxes shown (OK warnings under the program's name).
struct SwitchHarness final : LanguageTextTarget
{
    explicit SwitchHarness(const QString& dbPath)
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                messages.append(shown->text());
                EXPECT_TRUE(shown->icon() == QMessageBox::Warning &&
                            shown->standardButtons() == QMessageBox::Ok &&
                            shown->windowTitle() == QCoreApplication::applicationName());
                shown->done(QMessageBox::Ok);
            }
        });
        timer.start(5);
        box.setModel(&model);
        languageSwitch.openLanguageDb(dbPath);
        languageSwitch.initLanguageTexts();
    }
    void setInterfaceText(ControlId id, const QString& text) override { texts[int(id)] = text; }
    void languageApplied() override { ++appliedCount; }
    void choose(int entry) // as the window does
    {
        box.setCurrentIndex(entry);
        languageSwitch.applyLanguage();
    }
    QStringList entries() const { return model.stringList(); }

    QTimer timer;
    QStringList messages;
    QMap<int, QString> texts;
    int appliedCount = 0;
    QStringListModel model;
    QComboBox box;
    LanguageSwitch languageSwitch{box, *this};
};

// The texts of language `textsOf`, and the box's entries in language `entry` with that one chosen.
void expectShown(const SwitchHarness& window, int textsOf, int entry)
{
    ASSERT_EQ(window.texts.keys(), columnOfControl.keys());
    for (auto cell = columnOfControl.cbegin(); cell != columnOfControl.cend(); ++cell)
        EXPECT_EQ(window.texts.value(cell.key()), fixtureText(textsOf, cell.value()));
    QStringList names;
    for (int language = 0; language < 6; ++language)
        names.append(fixtureName(language, entry));
    EXPECT_EQ(window.entries(), names);
    EXPECT_EQ(window.box.currentIndex(), entry);
}

TEST(LanguageSwitch, OddStoredNumbersMissingRowsAndFailedStoresFromStartToAChoice)
{
    // The file stores 3; the user chooses 5, which cannot replace a number that is not there.
    const Spoil readOnly = [](const QString& path) {
        QFile file(path); // a write version above 2: SQLite only reads
        return file.open(QIODevice::ReadWrite) && file.seek(18) && file.write("\x03", 1) == 1;
    };
    // spoil before start-up, SQL after it, shown at start, texts after choosing, messages, cells
    const std::tuple<Spoil, const char*, int, int, QStringList, const char*> cases[] = {
        // clang-format off
        {sql(""), nullptr, 3, 5, {}, "5"},
        {sql("update current set language=6;"), nullptr, 0, 5, {}, "5"},
        {sql("update current set language=-1;"), nullptr, 0, 5, {}, "5"},
        {sql("update current set language='French';"), nullptr, 0, 5, {updateFailed}, "'French'"},
        {sql("update current set language=4294967299;"), nullptr, 0, 5, {updateFailed}, "4294967299"},
        {sql("delete from current;"), nullptr, 0, 5, {updateFailed}, ""},
        // The last integer cell counts, and only its row changes.
        {sql("insert into current values ('x'), (4), (2.5);"), nullptr, 4, 5, {}, "3,'x',5,2.5"},
        // A language without an interface row: the box and the number still follow.
        {sql("delete from interface where language='Japan';"), nullptr, 3, 3, {}, "5"},
        // Start-up does not rewrite the number it read, so only the store fails.
        {readOnly, nullptr, 3, 5, {updateFailed}, "3"},
        {sql(""), "drop table interface;", 3, 3, {prepareFailed}, "3"},
        // clang-format on
    };
    int row = 0;
    for (const auto& [before, afterStart, startsIn, textsAfter, messages, cells] : cases) {
        SCOPED_TRACE(row++);
        FixtureFile db(3);
        ASSERT_TRUE(before(db.path));
        SwitchHarness window(db.path);
        expectShown(window, startsIn, startsIn);
        EXPECT_EQ(window.languageSwitch.currentLanguage(), startsIn); // as shown
        EXPECT_TRUE(window.messages.isEmpty());
        ASSERT_TRUE(!afterStart || runSql(db.path, afterStart));

        window.choose(5);
        expectShown(window, textsAfter, 5);
        EXPECT_EQ(window.messages, messages);
        // A failed read applies nothing; a failed store keeps the number read at start-up.
        EXPECT_EQ(window.appliedCount, messages == QStringList{prepareFailed} ? 1 : 2);
        EXPECT_EQ(window.languageSwitch.storedLanguage(), messages.isEmpty() ? 5 : startsIn);
        window.languageSwitch.closeLanguageDb();
        EXPECT_EQ(currentCells(db.path), cells);
    }
}

TEST(LanguageSwitch, LongTextsAreCutNonTextCellsSkippedAndEverySwitchReadsTheFileAgain)
{
    // Texts keep 259 bytes, or less where a character would be split (other cuts: TextLimits).
    const std::string grin = "\xF0\x9F\x98\x80";
    FixtureFile db(0);
    ASSERT_TRUE(
        runSql(db.path, "update interface set t3=null, t6=42, t13=x'00' where language='French';"
                        "update language set c3=null where rowid=3; update language set c0=7 "
                        "where rowid=2; update interface set t5='" +
                            std::string(259, 'a') + grin + "', t9='" + std::string(256, 'a') +
                            grin + "' where language='English';"));
    SwitchHarness window(db.path);
    EXPECT_EQ(window.texts.value(1022), QString(259, u'a'));
    EXPECT_EQ(window.texts.value(1026), QString(256, u'a'));
    // A name cell that is not text borrows no other language's name: its row's, or nothing.
    EXPECT_EQ(window.entries().value(1), QString());
    EXPECT_EQ(window.entries().value(2), fixtureName(2, 0));

    window.choose(3);
    EXPECT_EQ(window.entries().value(2), fixtureName(2, 2));
    // French cells that are not text leave the English ones.
    for (const int control : {1020, 1039, 1023, title})
        EXPECT_EQ(window.texts.value(control), fixtureText(0, columnOfControl.value(control)));
    EXPECT_EQ(window.texts.value(1024), fixtureText(3, 7));

    ASSERT_TRUE(runSql(db.path, "update interface set t6='renamed' where language='Japan';"
                                "update language set c5='fresh' where rowid=1;"));
    window.choose(5);
    EXPECT_EQ(window.texts.value(1023), u"renamed"_s);
    EXPECT_EQ(window.texts.value(1002), fixtureText(5, 15));
    EXPECT_EQ(window.entries().value(0), u"fresh"_s);
    EXPECT_EQ(window.appliedCount, 3);
}

TEST(LanguageDbFailure, BadFileAtStartUpLeavesTheTemplateTextsAndTheFile)
{
    // Points the table at an index's pages: its schema still reads, its rows do not.
    const auto damage = [](const std::string& table) {
        return sql("create index spare on current(language); pragma writable_schema=on;"
                   "update sqlite_master set rootpage=(select rootpage from sqlite_master where "
                   "name='spare') where name='" +
                   table + "';");
    };
    const Spoil folder = [](const QString& p) { return QFile::remove(p) && QDir().mkdir(p); };
    // One case per outcome (the open fails; the names cannot be read, or the texts) and per
    // failure of a read: no table to prepare, or rows that cannot be read.
    const std::tuple<Spoil, QStringList, int> cases[] = {
        {folder, {u"open datebase false"_s, prepareFailed}, 0},
        {sql("drop table language;"), {prepareFailed}, 0},
        {damage("language"), {prepareFailed}, 0},
        {damage("interface"), {prepareFailed}, 6},
    };
    int row = 0;
    for (const auto& [spoil, messages, boxEntries] : cases) {
        SCOPED_TRACE(row++);
        FixtureFile db(3);
        ASSERT_TRUE(spoil(db.path));
        QFile file(db.path);
        const QByteArray before = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        file.close();
        SwitchHarness window(db.path);
        window.languageSwitch.closeLanguageDb();
        EXPECT_EQ(window.messages, messages);
        EXPECT_TRUE(window.texts.isEmpty());
        EXPECT_EQ(window.box.count(), boxEntries);
        EXPECT_EQ(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), before);
    }
}

TEST(ShippedLanguageDb, HoldsEveryTextInSixLanguages)
{
    QTemporaryDir dir; // a copy: the test never changes the shipped file
    const QString path = dir.filePath(u"language.db"_s);
    ASSERT_TRUE(QFile::copy(QString::fromUtf8(TAVOLIX_SHIPPED_LANGUAGE_DB), path));
    EXPECT_EQ(currentCells(path), "0");

    SwitchHarness window(path);
    for (int language = 0; language < 6; ++language) {
        window.texts.clear();
        window.choose(language);
        const QStringList names = window.entries();
        EXPECT_EQ(QSet<QString>(names.cbegin(), names.cend()).size(), 6) << language;
        EXPECT_EQ(window.texts.keys(), columnOfControl.keys()) << language;
        for (const QString& text : names + window.texts.values())
            EXPECT_FALSE(text.trimmed().isEmpty()) << language;
    }
    EXPECT_TRUE(window.messages.isEmpty());
}

} // namespace
} // namespace tavolix::test
