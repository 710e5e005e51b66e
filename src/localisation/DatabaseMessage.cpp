#include "DatabaseMessage.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

namespace tavolix {

void showDatabaseMessage(QWidget* parent, const QString& text)
{
    const QString caption = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace tavolix
