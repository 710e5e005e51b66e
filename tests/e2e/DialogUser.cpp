#include "DialogUser.h"

#include <QLineEdit>
#include <QListWidget>
#include <QTest>

namespace tavolix::e2e {

QListWidgetItem* rowNamed(const QListWidget& list, const QString& name)
{
    for (int row = 0; row < list.count(); ++row) {
        QListWidgetItem* item = list.item(row);
        const QString text = item->text();
        const qsizetype blank = text.indexOf(QLatin1Char(' '));
        if (blank > 0 && text.mid(blank + 1) == name)
            return item;
    }
    return nullptr;
}

bool clickRowNamed(QListWidget& list, const QString& name)
{
    QListWidgetItem* item = rowNamed(list, name);
    if (item == nullptr)
        return false;
    list.scrollToItem(item);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(item).center());
    return true;
}

void replaceText(QLineEdit& field, const QString& text)
{
    QTest::mouseClick(&field, Qt::LeftButton);
    QTest::keyClick(&field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(&field, text);
}

} // namespace tavolix::e2e
