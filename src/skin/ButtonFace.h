#pragma once

#include <QImage>
#include <QRect>

class QPainter;

namespace tavolix {

// How an image fills a button face.
enum class DrawMode
{
    copy = 0,    // the image's top-left block at 1:1
    stretch = 1, // the whole image scaled onto the face
    tile = 2,    // the image repeated from the face's top-left corner
};

// A button's state images and the mask they are drawn through.
struct ButtonFaceImages
{
    QImage normal;
    QImage pressed;
    QImage disabled;
    QImage mask;
    QImage hover;
    QImage focus;
    DrawMode mode = DrawMode::stretch;
};

// Draws image into rect on what the painter already shows there. With a mask
// (copy and stretch modes), each pixel becomes
// ((previous XOR image) AND mask) XOR image: the image where the mask is
// black, the previous pixel where it is white. The mask is read over the
// image's own size.
void drawImage(QPainter& painter, const QImage& image, const ButtonFaceImages& face, QRect rect);

// Tiles at 1:1 from rect's top-left corner, row by row; the last column and
// row are cut to what remains. Nothing for a null image.
void tileImage(QPainter& painter, const QImage& image, QRect rect);

} // namespace tavolix
