// The background of the document area: gradient bands, plain colour, the
// picture's positions, repainting, and the main window's own background.
#include "core/globals.h"
#include "core/services.h"
#include "core/settings.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/mainlanguage.h"
#include "mainwindow/mdibackground.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QApplication>
#include <QMdiArea>
#include <QPalette>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

int rgb(int r, int g, int b) { return r | (g << 8) | (b << 16); }

// A picture of one colour.
QImage block(int w, int h, QColor c)
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(c);
    return img;
}

}

TEST(MdiBackground, GradientOfTheDefaultColours)
{
    const std::vector<int> bands = BuildGradient(64, 0xC28D2B, 0x473715);
    ASSERT_EQ(bands.size(), 64u);
    EXPECT_EQ(bands.front(), rgb(43, 141, 194));
    // Red stays (43 - 21 is less than 64); green and blue fall by 1 a band; the
    // last band stops one step short of colour 1.
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(bands[size_t(i)], rgb(43, 141 - i, 194 - i)) << i;
    EXPECT_EQ(bands.back(), rgb(43, 78, 131));

    // Equal colours give 64 bands of that colour; a rising channel steps upward.
    for (int c : BuildGradient(64, rgb(10, 20, 30), rgb(10, 20, 30)))
        EXPECT_EQ(c, rgb(10, 20, 30));
    const std::vector<int> up = BuildGradient(64, rgb(0, 0, 0), rgb(255, 128, 0));
    EXPECT_EQ(up[1], rgb(3, 2, 0));
    EXPECT_EQ(up[63], rgb(189, 126, 0));

    // A system colour is painted as the desktop's current colour.
    const QColor ws = QGuiApplication::palette().color(QPalette::Dark);
    EXPECT_EQ(BuildGradient(64, int(0x8000000Cu), int(0x8000000Cu)).front(), rkColorValue(ws));
}

TEST(MdiBackground, RenderedBandsAndPicturePositions)
{
    // 128 rows: every band is two rows high.
    const QImage g = renderBackgroundImage(QSize(40, 128), 1.0, 1, 0xC28D2B, 0x473715, {}, 1);
    EXPECT_EQ(g.pixel(5, 0), qRgb(43, 141, 194));
    EXPECT_EQ(g.pixel(5, 1), qRgb(43, 141, 194));
    EXPECT_EQ(g.pixel(5, 2), qRgb(43, 140, 193));
    EXPECT_EQ(g.pixel(39, 127), qRgb(43, 78, 131));

    // Plain colour 0 under a centred picture larger than the area: cut on every side.
    const QImage big = block(60, 10, Qt::red);
    const QImage c = renderBackgroundImage(QSize(40, 40), 1.0, 0, rgb(1, 2, 3), rgb(200, 200, 200), big, 1);
    EXPECT_EQ(c.pixel(0, 15), qRgb(255, 0, 0));  // x = (40 - 60) / 2 = -10
    EXPECT_EQ(c.pixel(39, 15), qRgb(255, 0, 0));
    EXPECT_EQ(c.pixel(20, 14), qRgb(1, 2, 3));    // y = (40 - 10) / 2 = 15
    EXPECT_EQ(c.pixel(20, 25), qRgb(1, 2, 3));

    // Tiles from the top-left corner, column by column, the last ones cut.
    QImage tile = block(16, 16, Qt::blue);
    for (int y = 0; y < 16; ++y)
        tile.setPixelColor(0, y, Qt::green);
    const QImage t = renderBackgroundImage(QSize(40, 20), 1.0, 0, 0, 0, tile, 2);
    for (int x : {0, 16, 32})
        EXPECT_EQ(t.pixel(x, 18), qRgb(0, 255, 0)) << x;
    EXPECT_EQ(t.pixel(17, 5), qRgb(0, 0, 255));

    // Stretched over everything; an unknown position draws no picture.
    const QImage s = renderBackgroundImage(QSize(30, 30), 1.0, 0, 0, 0, block(2, 2, Qt::yellow), 3);
    EXPECT_EQ(s.pixel(0, 0), qRgb(255, 255, 0));
    EXPECT_EQ(s.pixel(29, 29), qRgb(255, 255, 0));
    const QImage n = renderBackgroundImage(QSize(30, 30), 1.0, 0, rgb(9, 9, 9), 0, block(30, 30, Qt::yellow), 7);
    EXPECT_EQ(n.pixel(15, 15), qRgb(9, 9, 9));
}

TEST(MdiBackground, PropertiesAndRepainting)
{
    test::SessionScope session;
    test::SessionScope::set(&SettingValues::noBack, false);
    QMdiArea area;
    area.resize(200, 150);
    area.show();
    QApplication::processEvents();
    CMdiBackground bg;
    EXPECT_EQ(bg.Color(0), int(0x8000000Cu));
    EXPECT_EQ(bg.BackStyle(), 0);
    EXPECT_FALSE(bg.AutoRefresh());

    // Nothing is painted before there is a client; the client is painted at once.
    bg.Refresh();
    EXPECT_EQ(bg.renderCount(), 0);
    bg.setClient(&area);
    EXPECT_EQ(bg.renderCount(), 1);
    ASSERT_TRUE(bg.pictureBox());
    EXPECT_EQ(bg.pictureBox()->objectName(), "mdiBackPicture");
    EXPECT_FALSE(bg.pictureBox()->isVisible());
    // The picture covers the area and the strips of its scroll bars.
    EXPECT_GT(bg.image().width(), area.contentsRect().width());
    EXPECT_GT(bg.image().height(), area.contentsRect().height());

    // Without automatic refresh a change waits for Refresh.
    bg.setColor(0, rgb(255, 0, 0));
    bg.setBackStyle(0);
    EXPECT_EQ(bg.renderCount(), 1);
    bg.Refresh();
    EXPECT_EQ(bg.renderCount(), 2);
    EXPECT_EQ(bg.image().pixel(3, 3), qRgb(255, 0, 0));
    bg.setAutoRefresh(true);
    EXPECT_EQ(bg.renderCount(), 3);

    // Index 2 stores nothing, answers 0, but still repaints.
    bg.setColor(2, rgb(0, 255, 0));
    EXPECT_EQ(bg.renderCount(), 4);
    EXPECT_EQ(bg.Color(2), 0);
    EXPECT_EQ(bg.Color(0), rgb(255, 0, 0));
    EXPECT_EQ(bg.image().pixel(3, 3), qRgb(255, 0, 0));

    // A resize paints the new size.
    area.resize(260, 190);
    QApplication::processEvents();
    EXPECT_EQ(bg.renderCount(), 5);
    EXPECT_GE(bg.image().width(), 260);

    // Another client: the first one's picture box goes.
    QMdiArea other;
    bg.setClient(&other);
    EXPECT_EQ(area.findChild<QWidget *>("mdiBackPicture"), nullptr);
    EXPECT_NE(other.findChild<QWidget *>("mdiBackPicture"), nullptr);
    area.resize(300, 300);
    QApplication::processEvents();
    EXPECT_EQ(bg.renderCount(), 6); // only the new client's first paint
}

TEST(MdiBackground, NoBackgroundSettingPaintsPlainColour)
{
    test::SessionScope session;
    test::SessionScope::set(&SettingValues::noBack, true);
    QMdiArea area;
    area.resize(120, 120);
    CMdiBackground bg;
    bg.setClient(&area);
    bg.setColor(0, rgb(80, 80, 80));
    bg.setColor(1, 0x473715);
    bg.setBackStyle(1);
    bg.setGraphicPosition(1);
    bg.setGraphic(block(10, 10, Qt::white));
    bg.setAutoRefresh(true);
    EXPECT_EQ(bg.BackStyle(), 0); // set back by the paint
    const QImage img = bg.image();
    EXPECT_EQ(img.pixel(0, 0), qRgb(80, 80, 80));
    EXPECT_EQ(img.pixel(2, img.height() - 2), qRgb(80, 80, 80));
    EXPECT_EQ(img.pixel(img.width() / 2, img.height() / 2), qRgb(255, 255, 255)); // the picture still shows
}

TEST(MdiBackground, MainWindowDocumentArea)
{
    test::SessionScope session;
    test::TempEnv env;
    env.write("lumrik32.INI", "[Settings]\r\nFirstStart=False\r\n");
    RkLoadIniSettings();
    setBuiltInWords();
    test::SessionScope::set(&SettingValues::noBack, false);
    frmMain w;
    w.resize(700, 520);
    w.show();
    QApplication::processEvents();
    ASSERT_TRUE(w.background());
    EXPECT_EQ(w.background()->Client(), w.mdiArea);
    EXPECT_TRUE(w.background()->AutoRefresh());
    EXPECT_EQ(w.background()->GraphicPosition(), 1);

    // What the user sees: the gradient from top to bottom, the picture in the middle.
    const QImage shot = w.mdiArea->viewport()->grab().toImage();
    const int h = shot.height();
    EXPECT_EQ(shot.pixel(4, 0), qRgb(43, 141, 194));
    const QColor low = shot.pixelColor(4, h - 1);
    EXPECT_EQ(low.red(), 43);
    EXPECT_GE(low.green(), 78); // near the last band: the scroll bar's strip lies below
    EXPECT_LE(low.green(), 90);
    // The picture lightens the middle; the edge of the same rows keeps the gradient.
    auto brightest = [&](int x0, int x1, int y0, int y1) {
        int best = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                const QColor c = shot.pixelColor(x, y);
                best = std::max(best, c.red() + c.green() + c.blue());
            }
        return best;
    };
    const int cx = shot.width() / 2, cy = h / 2;
    EXPECT_GT(brightest(cx - 60, cx + 60, cy - 60, cy + 60), brightest(0, 8, cy - 60, cy + 60) + 60);

    // Minimising does not repaint; a resize does.
    const int before = w.background()->renderCount();
    w.resize(760, 560);
    QApplication::processEvents();
    EXPECT_GT(w.background()->renderCount(), before);
    w.showMinimized();
    QApplication::processEvents();
    const int minimised = w.background()->renderCount();
    w.mdiArea->resize(w.mdiArea->width() - 10, w.mdiArea->height());
    QApplication::processEvents();
    EXPECT_EQ(w.background()->renderCount(), minimised);
    w.showNormal();
    QApplication::processEvents();
}
