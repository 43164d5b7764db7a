// The character-code table: its 256 rows and its layout on resizing.
#include "dnc/frmhexedit.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace lumrik;

TEST(HexEdit, RowsHoldCodeCharacterAndControlName)
{
    const QList<HexCodeRow> rows = hexCodeRows();
    ASSERT_EQ(rows.size(), 256);
    EXPECT_EQ(rows[0].hex, "00");
    EXPECT_EQ(rows[0].description, "NUL");
    EXPECT_EQ(rows[9].description, "TAB");
    EXPECT_EQ(rows[10].hex, "0A");
    EXPECT_EQ(rows[10].character, "\n");
    EXPECT_EQ(rows[10].description, "LF");
    EXPECT_EQ(rows[13].description, "CR");
    EXPECT_EQ(rows[31].description, "US");
    EXPECT_EQ(rows[32].hex, "20");
    EXPECT_EQ(rows[32].character, " ");
    EXPECT_TRUE(rows[32].description.isEmpty());
    EXPECT_EQ(rows[65].character, "A");
    EXPECT_TRUE(rows[127].description.isEmpty());
    EXPECT_EQ(rows[128].character, QStringLiteral("€"));   // Windows-1252
    EXPECT_EQ(rows[0xC5].character, QStringLiteral("Å"));
    EXPECT_EQ(rows[255].hex, "FF");
    EXPECT_EQ(rows[255].character, QStringLiteral("ÿ"));
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(rows[i].character.size(), 1) << i;
}

TEST(HexEdit, LayoutFollowsTheInnerSize)
{
    EXPECT_FALSE(hexEditLayout(200, 3000, 1215, 375));
    const auto l = hexEditLayout(5460, 3630, 1215, 375);
    ASSERT_TRUE(l);
    EXPECT_EQ(l->list, QRect(60, 60, 5340, 2930));
    EXPECT_EQ(l->button, QRect(5460 / 2 - 1215 / 2, 3130, 1215, 375));
    // Too low for the list: it gets no height, the button stays inside.
    const auto low = hexEditLayout(3000, 400, 1215, 375);
    ASSERT_TRUE(low);
    EXPECT_EQ(low->list.height(), 0);
    EXPECT_GE(low->button.top(), 0);
}

TEST(HexEdit, WindowListsEveryCodeAndCloses)
{
    frmHexEdit w;
    EXPECT_EQ(w.windowTitle(), "Hex koder");
    ASSERT_EQ(w.lvHex->topLevelItemCount(), 256);
    EXPECT_EQ(w.lvHex->headerItem()->text(0), "Hex");
    EXPECT_EQ(w.lvHex->headerItem()->text(1), "Tecken");
    EXPECT_EQ(w.lvHex->headerItem()->text(2), "Beskrivning");
    const QTreeWidgetItem *lf = w.lvHex->topLevelItem(10);
    EXPECT_EQ(lf->text(0), "0A");
    EXPECT_EQ(lf->text(1), "\n");
    EXPECT_EQ(lf->text(2), "LF");
    EXPECT_TRUE(w.cmdClose->isDefault());
    EXPECT_EQ(w.cmdClose->text(), QStringLiteral("Stäng"));

    w.show();
    w.resize(500, 400);
    const QPoint button = w.cmdClose->pos();
    EXPECT_EQ(w.lvHex->y(), w.lvHex->x());
    EXPECT_GT(w.lvHex->height(), 200);
    EXPECT_LT(w.lvHex->geometry().bottom(), button.y());
    EXPECT_NEAR(button.x() + w.cmdClose->width() / 2, 250, 2);
    // Narrow: nothing moves.
    w.resize(10, 400);
    EXPECT_EQ(w.cmdClose->pos(), button);

    w.cmdClose->click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.result(), QDialog::Accepted);
}
