#include "ApplicationIcon.h"

#include <QString>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initIconResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace tavolix {

QIcon applicationIcon()
{
    initIconResources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/tavolix-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/tavolix-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/icons/tavolix-48.png"), QSize(48, 48));
    return icon;
}

} // namespace tavolix
