#pragma once

#include <QImage>

namespace tavolix {

// The skin's bitmap resources, by their resource numbers.
enum SkinBitmap : int
{
    minimiseNormalBitmap = 129,
    backgroundBitmap = 130,
    buttonHoverBitmap = 132,
    buttonNormalBitmap = 134,
    buttonPressedBitmap = 135,
    closeHotBitmap = 136,
    closeNormalBitmap = 137,
    minimiseHotBitmap = 140,
    titleFillBitmap = 174,
    logoBitmap = 177,
    stripEndBitmap = 179,
    frameLeftBitmap = 180,
};

// The bitmap with this resource number; only its low 16 bits count. A null
// image when there is no such bitmap or it cannot be read. Each is decoded
// once, on first use, and kept for the program's life.
QImage loadSkinBitmap(int resourceId);

} // namespace tavolix
