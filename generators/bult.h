#pragma once
// The bolt-hole circle: the positions of holes spaced evenly on a full circle,
// or a number of holes on an arc with a given angle between them, as NC
// position lines. Plain functions; frmBult is a thin window over them.
#include <QString>

namespace lumrik {

// The texts of the bolt-hole window's boxes, as typed.
struct BultFields {
    QString centreX, centreY, radius, firstAngle, count, between;
    bool arc = false;  // "Arc": `between` degrees from hole to hole; else a full circle
};

// What one computation gives: the lines, or the message that says why none.
struct BultResult {
    bool ok = false;
    QString text;     // "X.. Y.." lines, each ended by CR LF
    QString message;  // when not ok
};

// The hole lines for the values as they stand: hole i (from 0) lies at the
// angle a0 + i * step, counter-clockwise from +X, where step is 360 / n on a
// full circle and `betweenDeg` on an arc. Throws RkError for a full circle
// without holes and for coordinates the NC number format cannot hold.
QString BultLines(double cx, double cy, double r, double a0Deg, int n, bool arc, double betweenDeg);

// The number of holes from the box's value: rounded, halves to the even
// neighbour (2.5 -> 2, 3.5 -> 4).
long long roundHoles(double value);

// Reads and checks the boxes, then computes. An empty box reads 0; any other
// text must be a number ("," or "." as the decimal point). The number of
// holes must fit -32768 to 32767, and a full circle needs at least one; a
// negative number, or 0 on an arc, gives an empty result. The radius must not
// be 0, nor, on an arc with more than one hole, the angle between holes:
// every hole would lie on the same spot.
BultResult ComputeBult(const BultFields &fields);

}
