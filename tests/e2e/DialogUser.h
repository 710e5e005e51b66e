#pragma once

#include <QString>
#include <ostream>

class QLineEdit;
class QListWidget;
class QListWidgetItem;

namespace tavolix::e2e {

// What a user does to the window, as real input events.

// The row that lists a device of this name ("<slot> <name>"), or null.
QListWidgetItem* rowNamed(const QListWidget& list, const QString& name);

// Clicks the row's middle; false when there is no such row.
bool clickRowNamed(QListWidget& list, const QString& name);

// Clicks into the field, selects everything in it and types the text.
void replaceText(QLineEdit& field, const QString& text);

} // namespace tavolix::e2e

// Failure messages show a QString as its text rather than as UTF-16 units.
// It lives where QString does, for the test framework's lookup to find it.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
