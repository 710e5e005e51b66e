#include "DialogBackground.h"

#include <QFontDatabase>
#include <QLinearGradient>
#include <QPainter>
#include <QRect>
#include <QString>

namespace tavolix {
namespace {

const QColor gradientTop(128, 128, 128);
const QColor gradientBottom(255, 255, 255);
const QColor stripBlue(24, 72, 160);
const QColor borderColour(0, 0, 0);
// Left, top, right and bottom edges of the title text: cut at x 350.
const QRect titleTextArea(QPoint(90, 7), QPoint(349, 29));

} // namespace

void paintDialogBackground(QPainter& painter, QSize clientSize, const QString& title)
{
    QLinearGradient gradient(0, 0, 0, clientSize.height());
    gradient.setColorAt(0, gradientTop);
    gradient.setColorAt(1, gradientBottom);
    painter.fillRect(QRect(QPoint(0, 0), clientSize), gradient);

    painter.fillRect(0, 0, clientSize.width(), titleStripHeight, stripBlue);

    painter.save();
    painter.setPen(Qt::white);
    painter.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    painter.setClipRect(titleTextArea);
    painter.drawText(titleTextArea, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, title);
    painter.restore();
}

void paintDialogBorder(QPainter& painter, QSize windowSize)
{
    painter.save();
    painter.setPen(borderColour);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, windowSize.width() - 1, windowSize.height() - 1);
    painter.restore();
}

} // namespace tavolix
