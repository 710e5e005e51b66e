#include "SkinBitmaps.h"

#include <QHash>
#include <QString>
#include <mutex>

namespace tavolix {

// Each bitmap is decoded once. The dialog, its three buttons and every paint
// then share the same pixels: a QImage shares its data until someone changes
// it, and nobody does.
QImage loadSkinBitmap(int resourceId)
{
    const int number = resourceId & 0xFFFF;
    if (number == 0)
        return {};
    static std::mutex mutex;
    static QHash<int, QImage> decoded;
    const std::lock_guard lock(mutex);
    auto known = decoded.constFind(number);
    if (known == decoded.constEnd())
        known = decoded.insert(number, QImage(QStringLiteral(":/skin/%1.bmp").arg(number)));
    return *known;
}

} // namespace tavolix
