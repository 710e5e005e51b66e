#pragma once

// Access to the language database: the stored language choice, the language
// names and the interface texts. Used on the window's thread only. Every
// failure is shown to the user in a message box before the call returns; a
// query that fails while stepping counts as failed, never as "no rows".

#include "DatabaseMessage.h"
#include "SqliteHandles.h"

#include <QStringList>
#include <QtGlobal>
#include <optional>

class QWidget;

namespace tavolix {

// One text of a language's interface row and the column it stands in.
struct InterfaceText
{
    int column = 0;
    QString text;
};

class LanguageDb final
{
public:
    // Message boxes are shown over the window that holds `messageAnchor`.
    explicit LanguageDb(QWidget& messageAnchor);
    ~LanguageDb();
    Q_DISABLE_COPY_MOVE(LanguageDb)

    // A missing file is created empty, as SQLite does; a file that cannot be
    // opened leaves the connection closed, and every later query fails.
    void openLanguageDb(const QString& path);
    void closeLanguageDb();

    // The last 32-bit integer cell of table `current`, or 0 when it holds
    // none. Empty on failure.
    std::optional<int> readStoredLanguage();

    // Per row of table `language`, in row order, the name in column
    // `displayLanguage`. A column that does not exist gives no names; a cell
    // that is not text gives the text read before it in the same row, or an
    // empty name. Empty on failure.
    std::optional<QStringList> listLanguageNames(int displayLanguage);

    // Each text cell of the interface rows of the language, row by row and
    // left to right; cells that are not text are skipped. Numbers without a
    // language select no rows. Empty on failure, so that a query that breaks
    // off half-way changes no text.
    std::optional<QList<InterfaceText>> readInterfaceTexts(int language);

    // Replaces `storedLanguage` by `language` in table `current`. False, after
    // the message, when the update fails or finds no row to change.
    bool storeLanguage(int language, int storedLanguage);

private:
    SqliteStatement prepare(const char* statementText,
                            const QString& failureMessage = prepareFailedMessage());
    bool reachedEnd(int lastStepResult);
    // Shows `message`; the reason SQLite gives for `connection`'s last
    // failure, when there is a connection, goes to standard error.
    void report(const QString& message, sqlite3* connection);

    QWidget& m_messageAnchor;
    SqliteConnection m_connection;
};

} // namespace tavolix
