#include "generators/bult.h"

#include "core/errors.h"
#include "core/language.h"
#include "generators/helix.h"

#include <cmath>

namespace lumrik {

QString BultLines(double cx, double cy, double r, double a0Deg, int n, bool arc, double betweenDeg)
{
    if (!arc && n == 0)
        throw RkError(11, QStringLiteral("Division med noll"));
    const double a0 = Deg2Rad(a0Deg);
    const double step = arc ? Deg2Rad(betweenDeg) : Deg2Rad(360.0 / n);
    QString text;
    double running = 0;
    for (int i = 1; i <= n; ++i) {
        const double theta = a0 + running;
        const double x = std::cos(theta) * r + cx;
        const double y = std::sin(theta) * r + cy;
        text += QStringLiteral("X") + MakeNc(x) + QStringLiteral(" Y") + MakeNc(y) + QStringLiteral("\r\n");
        running += step;
    }
    return text;
}

long long roundHoles(double value)
{
    return (long long)std::nearbyint(value);
}

BultResult ComputeBult(const BultFields &f)
{
    RkTraceProc(QStringLiteral("ComputeBult()"));
    BultResult res;
    auto fail = [&res](const QString &message) {
        res.message = message;
        return res;
    };
    struct Box {
        const QString *text;
        const char *label;
        double value = 0;
    };
    Box boxes[] = {{&f.centreX, "ABS Centrum X"}, {&f.centreY, "ABS Centrum Y"}, {&f.radius, "Radie R"},
                   {&f.firstAngle, "Vinkel första hål"}, {&f.count, "Antal hål"},
                   {&f.between, "Vinkel mellan hål"}};
    const int used = f.arc ? 6 : 5; // the angle between holes is hidden on a full circle
    for (int i = 0; i < used; ++i) {
        // An empty box reads 0: a pattern at the origin, from angle 0.
        const QString t = boxes[i].text->trimmed();
        if (t.isEmpty())
            continue;
        const auto v = readFieldNumber(t);
        if (!v)
            return fail(QStringLiteral("%1: \"%2\" är inget giltigt tal").arg(QString::fromUtf8(boxes[i].label), t));
        boxes[i].value = *v;
    }
    const double cx = boxes[0].value, cy = boxes[1].value, r = boxes[2].value, a0 = boxes[3].value;
    const double between = boxes[5].value;
    const long long n = roundHoles(boxes[4].value);
    // A full circle needs at least one hole to divide it; a negative number,
    // or none on an arc, gives no lines.
    if (n < -32768 || n > 32767 || (!f.arc && n == 0))
        return fail(RkText(513, QStringLiteral("Antal hål måste vara mellan 1 och 32767")));
    if (n <= 0) {
        res.ok = true;
        return res;
    }
    // Every hole would lie on the same spot.
    if (r == 0)
        return fail(QStringLiteral("Radien får inte vara 0"));
    if (f.arc && n > 1 && between == 0)
        return fail(QStringLiteral("Vinkel mellan hål får inte vara 0"));
    try {
        res.text = BultLines(cx, cy, r, a0, int(n), f.arc, between);
    } catch (const RkError &) {
        return fail(RkText(513, QStringLiteral("Hålbilden kunde inte beräknas: värdena är för stora.")));
    }
    res.ok = true;
    return res;
}

}
