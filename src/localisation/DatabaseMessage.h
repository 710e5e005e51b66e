#pragma once

// The messages by which the language database reports a failure, and the
// modal box that shows them.

#include <QString>

class QWidget;

namespace tavolix {

inline QString openFailedMessage()
{
    return QStringLiteral("open datebase false");
}

inline QString prepareFailedMessage()
{
    return QStringLiteral("Sqlite Prepare false");
}

inline QString updateFailedMessage()
{
    return QStringLiteral("Update database fall");
}

// Shows `text` in a modal warning box with an OK button, captioned with the
// program file's name, and returns once the user has dismissed it.
void showDatabaseMessage(QWidget* parent, const QString& text);

} // namespace tavolix
