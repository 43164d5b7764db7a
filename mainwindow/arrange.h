#pragma once
// Placement of the document windows inside the main window's document area.
#include <QRect>
#include <QSize>
#include <vector>

namespace lumrik {

enum Arrangement { kArrangeCascade = 0, kArrangeTileHorizontal = 1, kArrangeTileVertical = 2 };

// The rectangles of `count` windows in an area of `area`: kArrangeTileHorizontal
// puts them one above the other (full width), kArrangeTileVertical side by
// side (full height). When strips would get thinner than `minStrip`, they are
// laid out in as many columns (or rows) as needed instead. The rectangles cover
// the area without gaps or overlaps. Cascade gives an empty list (see
// cascadeRects).
std::vector<QRect> tileRects(int arrangement, QSize area, int count, int minStrip = 80);

// The rectangles of `count` cascaded windows, the bottom one first: each lies
// one `step` (a title bar's height) right of and below the one under it, and
// all have one size, so that the last one ends at the area's bottom-right
// corner. The cascade is at most as deep as leaves every window three quarters
// of the area; deeper windows start again at the top-left corner. Empty when
// the area is empty.
std::vector<QRect> cascadeRects(QSize area, int count, int step);

// The arrangement of the setting defaultTile ("0", "1", "2"); anything else is cascade.
int arrangementOf(const QString &text);

}
