#pragma once

#include <QImage>
#include <QRect>

class QPainter;
class QString;

namespace tavolix {

inline constexpr int titleStripHeight = 30;

// Where the close and minimise buttons were painted, in client coordinates.
// A QRect's contains() leaves out the right and bottom edges given here.
struct CaptionZones
{
    QRect close;
    QRect minimise;
};

// The dialog's painted look: a gradient background and a blue title strip
// with the logo, the caption and the minimise and close buttons.
class DialogSkin final
{
public:
    DialogSkin() = default;
    Q_DISABLE_COPY_MOVE(DialogSkin)

    // Loads the five images the dialog keeps; one that fails stays null and
    // is skipped when painting.
    void load();

    // Paints the client area; the painter's origin is the client's top-left
    // corner. Returns where the caption buttons now are.
    CaptionZones paintClientArea(QPainter& painter, QSize clientSize, const QString& caption) const;

private:
    QImage m_background;
    QImage m_titleFill;
    QImage m_frameLeft;
    QImage m_stripEnd;
    QImage m_logo;
};

// The hover look: both caption buttons again, highlighted where point (client
// coordinates) lies in their zone. The painter's origin is the window's
// top-left corner, a pixel up and left of the client's.
void paintCaptionHover(QPainter& painter, QPoint point, const CaptionZones& zones);

// The one-pixel border around the client area, in window coordinates.
void paintDialogBorder(QPainter& painter, QSize windowSize);

} // namespace tavolix
