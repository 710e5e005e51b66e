#include "SkinBitmaps.h"

#include <QString>

namespace tavolix {

QImage loadSkinBitmap(int resourceId)
{
    const int number = resourceId & 0xFFFF;
    if (number == 0)
        return {};
    return QImage(QStringLiteral(":/skin/%1.bmp").arg(number));
}

} // namespace tavolix
