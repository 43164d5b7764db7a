#include "mainwindow/arrange.h"

#include <QString>
#include <algorithm>

namespace lumrik {

namespace {
// Splits `length` into `parts` pieces differing by at most one pixel.
int pieceStart(int length, int parts, int i) { return int((long long)length * i / parts); }
}

std::vector<QRect> tileRects(int arrangement, QSize area, int count, int minStrip)
{
    std::vector<QRect> out;
    if (count <= 0 || area.isEmpty() || (arrangement != kArrangeTileHorizontal && arrangement != kArrangeTileVertical))
        return out;
    const bool stacked = arrangement == kArrangeTileHorizontal; // strips run across the width
    const int along = stacked ? area.height() : area.width();   // the length that is shared out
    const int maxStrips = std::max(1, along / std::max(1, minStrip));
    const int perLine = std::min(count, maxStrips);              // strips in one column (or row)
    const int lines = (count + perLine - 1) / perLine;
    const int across = stacked ? area.width() : area.height();
    for (int line = 0; line < lines; ++line) {
        const int first = line * perLine;
        const int n = std::min(perLine, count - first);
        const int a0 = pieceStart(across, lines, line), a1 = pieceStart(across, lines, line + 1);
        for (int i = 0; i < n; ++i) {
            const int s0 = pieceStart(along, n, i), s1 = pieceStart(along, n, i + 1);
            out.push_back(stacked ? QRect(a0, s0, a1 - a0, s1 - s0) : QRect(s0, a0, s1 - s0, a1 - a0));
        }
    }
    return out;
}

std::vector<QRect> cascadeRects(QSize area, int count, int step)
{
    std::vector<QRect> out;
    if (count <= 0 || area.isEmpty())
        return out;
    step = std::max(1, step);
    // A quarter of the smaller side is the most the cascade may take.
    const int maxDepth = std::max(1, std::min(area.width(), area.height()) / 4 / step + 1);
    const int depth = std::min(count, maxDepth);
    const QSize size(std::max(1, area.width() - (depth - 1) * step), std::max(1, area.height() - (depth - 1) * step));
    for (int i = 0; i < count; ++i) {
        const int k = i % depth;
        out.emplace_back(QPoint(k * step, k * step), size);
    }
    return out;
}

int arrangementOf(const QString &text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok && (v == 1 || v == 2) ? v : kArrangeCascade;
}

}
