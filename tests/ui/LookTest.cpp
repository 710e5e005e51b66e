// What the window looks like and which texts follow the language.

#include "BitmapButton.h"
#include "TransparentLabel.h"
#include "UiTestSupport.h"

#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

namespace tavolix::test {
namespace {

bool isBluish(QRgb pixel)
{
    return qBlue(pixel) > 120 && qRed(pixel) < 80 && qGreen(pixel) < 120;
}

TEST(Look, FramelessWindowPaintsBorderStripTitleAndGradient)
{
    DialogHarness harness;
    ASSERT_TRUE(harness.waitForStartUp());
    SearchDialog& dialog = harness.dialog();
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(dialog.size(), QSize(470, 440)); // 468 × 438 inside a one-pixel border
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Tavolix"));

    const QImage image = dialog.grab().toImage();
    ASSERT_EQ(image.size(), QSize(470, 440));
    EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(469, 439), qRgb(0, 0, 0));
    EXPECT_TRUE(isBluish(image.pixel(60, 15)));
    EXPECT_TRUE(isBluish(image.pixel(400, 29)));
    EXPECT_FALSE(isBluish(image.pixel(400, 32)));

    // The title's white text, smoothed into the blue at its edges.
    int lightTitlePixels = 0;
    for (int y = 8; y < 31; ++y) {
        for (int x = 91; x < 351; ++x)
            lightTitlePixels += qGray(image.pixel(x, y)) > 180 ? 1 : 0;
    }
    EXPECT_GT(lightTitlePixels, 40);
    for (int y = 8; y < 31; ++y) // nothing of the title past x 350
        EXPECT_TRUE(isBluish(image.pixel(352, y)));

    // The gradient runs from grey under the strip to white at the bottom.
    EXPECT_LT(qGray(image.pixel(460, 40)), qGray(image.pixel(460, 430)));
    EXPECT_GT(qGray(image.pixel(460, 430)), 240);
}

TEST(Look, ChoosingALanguageSetsLabelsButtonsAndTitle)
{
    DialogHarness harness;
    ASSERT_TRUE(harness.waitForStartUp());
    SearchDialog& dialog = harness.dialog();
    const DialogControls& c = harness.controls();
    ASSERT_EQ(c.languageCombo->count(), 6);
    EXPECT_EQ(c.updateButton->text(), QStringLiteral("Update"));

    // French is selected without a switch; the arrow key then picks German.
    c.languageCombo->setCurrentIndex(3);
    QTest::keyClick(c.languageCombo, Qt::Key_Down);

    EXPECT_EQ(c.languageCombo->currentIndex(), 4);
    EXPECT_EQ(c.languageCombo->currentText(), QStringLiteral("Deutsch"));
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("Tavolix Gerätesuche"));
    EXPECT_EQ(c.updateButton->text(), QStringLiteral("Suchen"));
    EXPECT_EQ(c.pppoeAccountLabel->text(), QStringLiteral("Benutzername"));
    EXPECT_EQ(c.loginAccountLabel->text(), QStringLiteral("Benutzername"));
    // Texts no language changes.
    EXPECT_EQ(c.macLabel->text(), QStringLiteral("Mac"));
    EXPECT_EQ(c.statusText->text(), QStringLiteral("OK"));
}

} // namespace
} // namespace tavolix::test
