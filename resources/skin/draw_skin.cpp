// Draws the skin bitmaps into a folder, one 24-bit uncompressed bottom-up BMP
// per resource number. The committed files come from this program:
//     tavolix_draw_skin resources/skin
// Every strip image shares one vertical blue gradient, so the pieces join
// without seams wherever the dialog lays them side by side.

#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <functional>

namespace {

constexpr int stripHeight = 30;
const QColor stripTop(58, 118, 206);
const QColor stripBottom(22, 64, 146);
const QColor frameLine(150, 184, 236);
const QColor signColour(255, 255, 255);
const QColor closeHot(214, 58, 52);
const QColor minimiseHot(92, 152, 236);

QImage canvas(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

void fillStrip(QPainter& painter, int width, int height)
{
    QLinearGradient gradient(0, 0, 0, height);
    gradient.setColorAt(0, stripTop);
    gradient.setColorAt(1, stripBottom);
    painter.fillRect(0, 0, width, height, gradient);
}

void fillVertical(QPainter& painter, QRect area, const QColor& top, const QColor& bottom)
{
    QLinearGradient gradient(0, area.top(), 0, area.bottom());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    painter.fillRect(area, gradient);
}

// The frame around the two caption buttons: one line above and one below.
// The end pieces round it off towards the inside of the strip.
constexpr int frameTop = 3;
constexpr int frameBottom = 26;

void frameLines(QPainter& painter, int fromX, int toX)
{
    painter.fillRect(QRect(QPoint(fromX, frameTop), QPoint(toX, frameTop)), frameLine);
    painter.fillRect(QRect(QPoint(fromX, frameBottom), QPoint(toX, frameBottom)), frameLine);
}

void frameEnd(QPainter& painter, bool leftEnd)
{
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath arc;
    const QRectF rounded(leftEnd ? 12.5 : -12.5, frameTop + 0.5, 23, frameBottom - frameTop);
    arc.addRoundedRect(rounded, 8, 8);
    painter.setClipRect(leftEnd ? QRect(0, 0, 24, stripHeight) : QRect(0, 0, 12, stripHeight));
    painter.setPen(QPen(frameLine, 1));
    painter.drawPath(arc);
}

// The inside of the frame under a caption button, plain or highlighted.
void buttonFace(QPainter& painter, const QColor* hot)
{
    frameLines(painter, 0, 27);
    if (hot)
        painter.fillRect(QRect(QPoint(2, frameTop + 2), QPoint(25, frameBottom - 2)), *hot);
}

void closeSign(QPainter& painter)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(signColour, 2.2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(9.5, 10.5), QPointF(18.5, 19.5));
    painter.drawLine(QPointF(18.5, 10.5), QPointF(9.5, 19.5));
}

void minimiseSign(QPainter& painter)
{
    painter.fillRect(QRect(9, 18, 10, 2), signColour);
}

QImage stripImage(int width, const std::function<void(QPainter&)>& draw)
{
    QImage image = canvas(width, stripHeight);
    QPainter painter(&image);
    fillStrip(painter, width, stripHeight);
    draw(painter);
    return image;
}

QImage captionButton(const QColor* hot, void (*sign)(QPainter&))
{
    return stripImage(28, [&](QPainter& painter) {
        buttonFace(painter, hot);
        sign(painter);
    });
}

QImage logo()
{
    return stripImage(77, [](QPainter& painter) {
        painter.setRenderHint(QPainter::Antialiasing);
        // A lens: a white ring around a light-blue glass.
        painter.setPen(Qt::NoPen);
        painter.setBrush(signColour);
        painter.drawEllipse(QPointF(11, 15), 8, 8);
        painter.setBrush(stripBottom);
        painter.drawEllipse(QPointF(11, 15), 5.5, 5.5);
        painter.setBrush(QColor(160, 208, 255));
        painter.drawEllipse(QPointF(11, 15), 3, 3);
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPixelSize(14);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(signColour);
        painter.drawText(QRect(22, 0, 55, stripHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("Tavolix"));
    });
}

QImage buttonImage(const QColor& top, const QColor& bottom, int blackRow, bool framed)
{
    QImage image = canvas(55, 29);
    QPainter painter(&image);
    fillVertical(painter, image.rect(), top, bottom);
    if (blackRow >= 0)
        painter.fillRect(0, blackRow, 55, 1, Qt::black);
    if (framed) {
        painter.setPen(Qt::black);
        painter.drawRect(0, 0, 54, 28);
    }
    return image;
}

QImage background()
{
    QImage image = canvas(312, 281);
    QPainter painter(&image);
    fillVertical(painter, image.rect(), QColor(150, 150, 150), QColor(255, 255, 255));
    return image;
}

bool save(const QDir& folder, int resourceId, const QImage& image)
{
    const QString path = folder.filePath(QStringLiteral("%1.bmp").arg(resourceId));
    if (image.save(path, "BMP"))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const struct
    {
        int resourceId;
        QImage image;
    } bitmaps[] = {
        {129, captionButton(nullptr, minimiseSign)},
        {130, background()},
        {132, buttonImage(QColor(236, 236, 236), QColor(236, 236, 236), -1, true)},
        {134, buttonImage(QColor(250, 250, 250), QColor(196, 196, 196), 28, false)},
        {135, buttonImage(QColor(190, 190, 190), QColor(244, 244, 244), 0, false)},
        {136, captionButton(&closeHot, closeSign)},
        {137, captionButton(nullptr, closeSign)},
        {140, captionButton(&minimiseHot, minimiseSign)},
        {174, stripImage(24, [](QPainter&) {})},
        {177, logo()},
        {179, stripImage(24, [](QPainter& painter) { frameEnd(painter, false); })},
        {180, stripImage(24, [](QPainter& painter) { frameEnd(painter, true); })},
    };
    bool allWritten = true;
    for (const auto& bitmap : bitmaps)
        allWritten = save(folder, bitmap.resourceId, bitmap.image) && allWritten;
    return allWritten ? 0 : 1;
}
