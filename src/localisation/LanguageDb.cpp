#include "LanguageDb.h"

#include "DatabaseMessage.h"
#include "LanguageKeys.h"
#include "TextBuffer.h"

#include <QFile>
#include <QWidget>
#include <cstdio>
#include <limits>

namespace tavolix {

namespace {

const char* cellText(sqlite3_stmt* statement, int column)
{
    return reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
}

} // namespace

LanguageDb::LanguageDb(QWidget& messageAnchor) : m_messageAnchor(messageAnchor) {}

LanguageDb::~LanguageDb() = default;

void LanguageDb::openLanguageDb(const QString& path)
{
    m_connection.reset();
    sqlite3* opened = nullptr;
    const int result = sqlite3_open(QFile::encodeName(path).constData(), &opened);
    // SQLite hands out a handle even when the open fails; it must be closed.
    SqliteConnection connection(opened);
    if (result != SQLITE_OK) {
        report(openFailedMessage(), connection.get());
        return;
    }
    m_connection = std::move(connection);
}

void LanguageDb::closeLanguageDb()
{
    m_connection.reset();
}

std::optional<int> LanguageDb::readStoredLanguage()
{
    const SqliteStatement statement = prepare("select * from current");
    if (!statement)
        return std::nullopt;
    // Without any usable number the first language is the sound choice.
    int stored = 0;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) {
        for (int column = 0; column < sqlite3_column_count(statement.get()); ++column) {
            if (sqlite3_column_type(statement.get(), column) != SQLITE_INTEGER)
                continue;
            // A value beyond 32 bits is no language number; truncating it
            // would turn it into an arbitrary one.
            const sqlite3_int64 value = sqlite3_column_int64(statement.get(), column);
            if (value >= std::numeric_limits<int>::min() &&
                value <= std::numeric_limits<int>::max())
                stored = static_cast<int>(value);
        }
    }
    if (!reachedEnd(step))
        return std::nullopt;
    return stored;
}

std::optional<QStringList> LanguageDb::listLanguageNames(int displayLanguage)
{
    const SqliteStatement statement = prepare("select * from language");
    if (!statement)
        return std::nullopt;
    QStringList names;
    TextBuffer text;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) {
        // Emptied per row, so a row never shows another language's name.
        text.clear();
        for (int column = 0; column < sqlite3_column_count(statement.get()); ++column) {
            if (sqlite3_column_type(statement.get(), column) == SQLITE_TEXT)
                text.assign(cellText(statement.get(), column));
            if (column == displayLanguage)
                names.append(text.toQString());
        }
    }
    if (!reachedEnd(step))
        return std::nullopt;
    return names;
}

std::optional<QList<InterfaceText>> LanguageDb::readInterfaceTexts(int language)
{
    const SqliteStatement statement = prepare("select * from interface where language=?");
    if (!statement)
        return std::nullopt;
    if (sqlite3_bind_text(statement.get(), 1, languageKeyName(language), -1, SQLITE_STATIC) !=
        SQLITE_OK) {
        report(prepareFailedMessage(), m_connection.get());
        return std::nullopt;
    }
    QList<InterfaceText> texts;
    TextBuffer text;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) {
        for (int column = 0; column < sqlite3_column_count(statement.get()); ++column) {
            // A cell that is not text has nothing to show; its controls keep
            // the text they have rather than take a neighbour's.
            if (sqlite3_column_type(statement.get(), column) != SQLITE_TEXT)
                continue;
            text.assign(cellText(statement.get(), column));
            texts.append({column, text.toQString()});
        }
    }
    if (!reachedEnd(step))
        return std::nullopt;
    return texts;
}

bool LanguageDb::storeLanguage(int language, int storedLanguage)
{
    const SqliteStatement update =
        prepare("update current set language=?1 where language=?2", updateFailedMessage());
    // An update that finds no row stored nothing; calling it a success would
    // lose the choice without a word.
    if (!update || sqlite3_bind_int(update.get(), 1, language) != SQLITE_OK ||
        sqlite3_bind_int(update.get(), 2, storedLanguage) != SQLITE_OK ||
        sqlite3_step(update.get()) != SQLITE_DONE || sqlite3_changes(m_connection.get()) == 0) {
        if (update)
            report(updateFailedMessage(), m_connection.get());
        return false;
    }
    return true;
}

SqliteStatement LanguageDb::prepare(const char* statementText, const QString& failureMessage)
{
    sqlite3_stmt* prepared = nullptr;
    // The v2 form prepares again by itself when another program has changed
    // the file's tables since the connection last looked; the legacy form
    // fails the first step instead, which would read as an empty table.
    const int result =
        m_connection ? sqlite3_prepare_v2(m_connection.get(), statementText, -1, &prepared, nullptr)
                     : SQLITE_MISUSE;
    SqliteStatement statement(prepared);
    if (result != SQLITE_OK || !statement) {
        report(failureMessage, m_connection.get());
        return nullptr;
    }
    return statement;
}

bool LanguageDb::reachedEnd(int lastStepResult)
{
    if (lastStepResult == SQLITE_DONE)
        return true;
    // A damaged or locked file: what was read so far is incomplete.
    report(prepareFailedMessage(), m_connection.get());
    return false;
}

void LanguageDb::report(const QString& message, sqlite3* connection)
{
    // The box keeps the words its users know; SQLite's own reason is for
    // whoever reads the log.
    if (connection != nullptr)
        std::fprintf(stderr, "language database: %s\n", sqlite3_errmsg(connection));
    showDatabaseMessage(m_messageAnchor.window(), message);
}

} // namespace tavolix
