// What the skin costs to paint (Google Benchmark, offscreen platform): the
// whole client area, the caption buttons' area that every mouse move over the
// dialog repaints, and a bitmap button's masked face.

#include "BitmapButton.h"
#include "DialogSkin.h"
#include "SkinBitmaps.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

namespace tavolix {
namespace {

const QSize client(468, 438);

void BM_PaintClientArea(benchmark::State& state)
{
    DialogSkin skin;
    skin.load();
    QImage surface(client, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&surface);
        benchmark::DoNotOptimize(skin.paintClientArea(painter, client, QStringLiteral("Tavolix")));
    }
}
BENCHMARK(BM_PaintClientArea);

// A mouse move: the strip under both buttons again, then the hover images.
void BM_CaptionHoverMove(benchmark::State& state)
{
    DialogSkin skin;
    skin.load();
    QImage surface(client + QSize(2, 2), QImage::Format_RGB32);
    CaptionZones zones;
    {
        QPainter painter(&surface);
        zones = skin.paintClientArea(painter, client, QStringLiteral("Tavolix"));
    }
    const QRect buttons(QPoint(zones.minimise.left(), 0), QPoint(zones.close.right() + 1, 31));
    int x = 0;
    for (auto _ : state) {
        QPainter painter(&surface);
        painter.setClipRect(buttons);
        painter.save();
        painter.translate(1, 1);
        skin.paintClientArea(painter, client, QStringLiteral("Tavolix"));
        painter.restore();
        paintCaptionHover(painter, QPoint(390 + (x++ % 56), 10), zones);
    }
}
BENCHMARK(BM_CaptionHoverMove);

void BM_BitmapButtonFace(benchmark::State& state)
{
    QWidget parent;
    parent.resize(200, 60);
    BitmapButton button(&parent);
    button.setGeometry(10, 10, 84, 32);
    button.setText(QStringLiteral("Update"));
    button.setFaces({loadSkinBitmap(buttonNormalBitmap), loadSkinBitmap(buttonPressedBitmap),
                     loadSkinBitmap(buttonHoverBitmap)});
    QImage surface(button.size(), QImage::Format_RGB32);
    for (auto _ : state)
        button.render(&surface);
}
BENCHMARK(BM_BitmapButtonFace);

} // namespace
} // namespace tavolix

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
