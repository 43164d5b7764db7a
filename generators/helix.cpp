#include "generators/helix.h"

#include "core/session.h"
#include "core/codepage.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/language.h"

#include <QDir>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>

namespace lumrik {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The smallest radius of an arc of the program (the messages name it and
// twice it): from it on, the 45-degree entry and exit arcs move more than one
// thousandth in Y and keep centre words other than 0, whatever the rounding
// to three decimals.
constexpr double kMinArcRadius = 0.002;

// The label, then blanks up to the start of the next 14-column print zone,
// then ")". A label that ends on a zone boundary gets the whole next zone, so
// the ")" never touches the value.
QString zoneLine(const QString &head)
{
    const qsizetype width = (head.size() / 14 + 1) * 14;
    return head + QString(width - head.size(), QLatin1Char(' ')) + QLatin1Char(')');
}

// The point at `deg` degrees on the circle of radius `radius` about (x, y).
struct Point {
    double x, y;
};
Point onCircle(double x, double y, double radius, double deg)
{
    const double a = Deg2Rad(deg);
    return {x + radius * std::cos(a), y + radius * std::sin(a)};
}

QString pointLine(const Point &p, double z)
{
    return QStringLiteral("X") + MakeNc(p.x) + QStringLiteral(" Y") + MakeNc(p.y) + QStringLiteral(" Z") + MakeNc(z);
}

// The angles of a loop from `from` to `to` (both included) in steps of `step`.
// Counted in whole steps, so no rounding drift can drop or add an end point.
QList<double> angles(double from, double to, double step)
{
    const int count = int(std::lround(std::abs(to - from) / step)) + 1;
    const double dir = to >= from ? 1.0 : -1.0;
    QList<double> out;
    out.reserve(count);
    for (int i = 0; i < count; ++i)
        out.append(from + dir * step * i);
    return out;
}

// The derived geometry of one thread.
struct Geometry {
    Point T, A, S;
};
Geometry geometry(const HelixData &d)
{
    Geometry g;
    g.T = {d.cx + d.R, d.cy};
    g.A = d.external ? Point{d.cx + d.R + d.r, d.cy} : Point{d.cx + d.R - d.r, d.cy};
    g.S = d.external ? g.A : Point{d.cx, d.cy};
    return g;
}

// The start of the entry arc and the end of the exit arc.
std::pair<Point, Point> arcEnds(const HelixData &d, const Geometry &g)
{
    return {onCircle(g.A.x, g.A.y, d.r, d.external ? 135 : 45), onCircle(g.A.x, g.A.y, d.r, d.external ? 225 : 315)};
}

// An arc as a control reads it from its written words: the centre is the
// written start plus the written I and J. Gives the distances from that centre
// to the written start and end.
std::pair<double, double> writtenRadii(const Point &from, const Point &centre, const Point &to)
{
    auto nc = [](double v) { return std::nearbyint(v * 1000.0) / 1000.0; };
    const double i = nc(centre.x - from.x), j = nc(centre.y - from.y);
    return {std::hypot(i, j), std::hypot(nc(to.x) - (nc(from.x) + i), nc(to.y) - (nc(from.y) + j))};
}

// How far the written start and end radius of an arc may differ, as a share
// of the larger one. Rounding to three decimals stays far below it from
// radii of a few hundredths on; below that it can bend an arc out of shape.
constexpr double kArcRadiusTolerance = 0.05;

QString tail(const HelixData &d, const Geometry &g)
{
    return QStringLiteral("G0 G40 X") + MakeNc(g.S.x) + QStringLiteral(" Y") + MakeNc(d.cy) + kCrLf +
           QStringLiteral("G0 Z") + plainNumber(d.Zs) + kCrLf + QStringLiteral("M99") + kCrLf + QStringLiteral("%") +
           kCrLf;
}

bool isWholeNumber(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (!c.isDigit() || c.unicode() > 127)
            return false;
    return true;
}

}

double Deg2Rad(double dDeg)
{
    return dDeg / 57.2957795130823;
}

bool fitsNc(double dValue)
{
    if (!std::isfinite(dValue))
        return false;
    const double n = std::nearbyint(dValue * 1000.0);
    return n >= double(std::numeric_limits<qint32>::min()) && n <= double(std::numeric_limits<qint32>::max());
}

QString MakeNc(double dValue)
{
    if (!fitsNc(dValue))
        throw RkExpected(kErrOverflow, QStringLiteral("Överspill: talet %1 ryms inte i NC-formatet").arg(dValue));
    // Written from the whole number of thousandths, so the text holds exactly
    // the rounded value whatever the binary form of n / 1000.
    const qint64 n = qint64(std::nearbyint(dValue * 1000.0)); // the default rounding mode: halves to even
    const qint64 a = n < 0 ? -n : n;
    QString text = n < 0 ? QStringLiteral("-") : QString();
    const qint64 whole = a / 1000;
    if (whole != 0 || a == 0)
        text += QString::number(whole);
    text += QLatin1Char('.');
    if (const qint64 frac = a % 1000) {
        QString digits = QStringLiteral("%1").arg(frac, 3, 10, QLatin1Char('0'));
        while (digits.endsWith(QLatin1Char('0')))
            digits.chop(1);
        text += digits;
    }
    return text;
}

QString plainNumber(double v)
{
    if (v == 0 || !std::isfinite(v))
        return v == 0 ? QStringLiteral("0") : QString::number(v);
    QString s = QString::number(v, 'g', 15).toUpper();
    if (s.startsWith(QLatin1String("0.")))
        s.remove(0, 1);
    else if (s.startsWith(QLatin1String("-0.")))
        s.remove(1, 1);
    return s;
}

QString plainNumberSigned(double v)
{
    const QString s = plainNumber(v);
    return s.startsWith(QLatin1Char('-')) ? s : QLatin1Char(' ') + s;
}

std::optional<double> readFieldNumber(const QString &text)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
        ++i;
    QString digits = t.left(i);
    int count = 0;
    bool point = false;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            digits += c;
            ++count;
        } else if ((c == QLatin1Char('.') || c == QLatin1Char(',')) && !point) {
            digits += QLatin1Char('.');
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (count == 0)
        return std::nullopt;
    bool ok = false;
    const double v = digits.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

double helixZ0(const HelixData &d) { return d.P / 8 * 2 + (d.P + d.Ze); }
double helixZ1(const HelixData &d) { return (d.P + d.Ze) + d.P / 8; }
double helixZ2(const HelixData &d) { return d.P / 8 + d.Ze; }

QString CheckHelixInput(const HelixFields &f, HelixData &d)
{
    RkTraceProc(QStringLiteral("CheckHelixInput()"));
    {
        // For these tests a field counts by its leading number ("1.5x" is 1.5,
        // "abc" 0); text that is no number is named afterwards.
        auto value = [](const QString &text) {
            const QString t = text.trimmed();
            for (qsizetype n = t.size(); n > 0; --n)
                if (const auto v = readFieldNumber(t.left(n)))
                    return *v;
            return 0.0;
        };
        d.cx = value(f.gx);
        d.cy = value(f.gy);
        d.R = value(f.gdiam) / 2;
        d.P = value(f.gs);
        d.Ze = value(f.endZ);
        d.r = value(f.inR);
        d.Zs = value(f.safeZ);
        d.compNo = f.compNo.trimmed();
        d.external = f.external;

        // The classic tests: each failing one replaces the message of the one before.
        QString msg;
        if (!d.external && d.r >= d.R)
            msg = gbNotSwedish ? RkGetLanguage(820) + RkGetLanguage(821)
                               : QStringLiteral("Ingångsradien MÅSTE vara MINDRE än\r\nradien på gängan");
        if (d.R == 0)
            msg = RkText(822, QStringLiteral("Diameter på gängan saknas "));
        if (d.r == 0)
            msg = RkText(823, QStringLiteral("Ingångsradien MÅSTE anges "));
        if (d.P == 0)
            msg = RkText(824, QStringLiteral("Gängstigning MÅSTE anges "));
        if (d.compNo.isEmpty())
            msg = RkText(825, QStringLiteral("Kompenseringsnummer MÅSTE anges "));
        if (!msg.isEmpty())
            return msg;

        // An empty field reads 0 (a thread at the origin); text that is no
        // number would otherwise go into the program as 0, or as its leading digits.
        const std::pair<const QString *, const char *> fields[] = {
            {&f.gx, "Gängans centrum - X"}, {&f.gy, "Gängans centrum - Y"}, {&f.gdiam, "Gängans diameter"},
            {&f.gs, "Gängstigning"},        {&f.safeZ, "Säkerhetsavstånd - Z"}, {&f.endZ, "Gängans slut i Z"},
            {&f.inR, "Ingångsradie"}};
        for (const auto &[text, label] : fields)
            if (!text->trimmed().isEmpty() && !readFieldNumber(*text))
                return QStringLiteral("%1: \"%2\" är inget giltigt tal").arg(QString::fromUtf8(label), text->trimmed());
        if (!isWholeNumber(d.compNo))
            return QStringLiteral("Kompenseringsnumret måste vara ett heltal (\"%1\")").arg(d.compNo);
        if (d.R < 0)
            return QStringLiteral("Gängans diameter måste vara större än 0");
        if (d.r < 0)
            return QStringLiteral("Ingångsradien måste vara större än 0");
        // An arc smaller than this would be written with its centre words
        // rounded to I0. J0., or with its start and end on the same point: a
        // control refuses it, or cuts a full circle.
        if (d.R < kMinArcRadius)
            return QStringLiteral("Gängans diameter måste vara minst 0.004");
        if (d.r < kMinArcRadius)
            return QStringLiteral("Ingångsradien måste vara minst 0.002");
        if (d.P < 0)
            return QStringLiteral("Gängstigningen måste vara större än 0");
        // Every value of both forms must fit the number format.
        try {
            helixProgram(d, false);
            HelixData half = d;
            half.halfDegree = true;
            helixProgram(half, true);
        } catch (const RkError &) {
            return QStringLiteral("Värdena är för stora för NC-programmet (högst 2147483.647)");
        }
        // The entry and exit arcs as written must still be arcs: a control
        // refuses one whose start and end lie at clearly different distances
        // from its centre.
        const Geometry g = geometry(d);
        const auto [P1, P2] = arcEnds(d, g);
        const std::pair<const char *, std::pair<double, double>> arcs[] = {
            {"ingångsbågen", writtenRadii(P1, g.A, g.T)}, {"utgångsbågen", writtenRadii(g.T, g.A, P2)}};
        for (const auto &[name, radii] : arcs)
            if (std::abs(radii.first - radii.second) > kArcRadiusTolerance * std::max(radii.first, radii.second))
                return QStringLiteral("Ingångsradien eller gängans diameter är för liten för tre decimaler: "
                                      "%1 skulle få startradien %2 och slutradien %3")
                    .arg(QString::fromUtf8(name), QString::number(radii.first, 'g', 3),
                         QString::number(radii.second, 'g', 3));
        // The rapid moves run at the safe Z: it must not lie below the start of the path.
        if (d.Zs < helixZ0(d))
            return QStringLiteral("Säkerhetsavståndet i Z ligger under gängfräsningens start (Z%1)")
                .arg(MakeNc(helixZ0(d)));
        return QString();
    }
}

QString WriteHelixHeader(const HelixData &d)
{
    QStringList l;
    l << QStringLiteral("%") << QStringLiteral("O???? ( ** PROGNO ** )") << QString();
    const std::pair<const char *, double> params[] = {
        {"( CENTRUM - X =", d.cx}, {"( CENTRUM - Y =", d.cy}, {"( RADIE       =", d.R}, {"( S AVST  - Z =", d.Zs},
        {"( ING.RADIE   =", d.r},  {"( STIGNING    =", d.P},  {"( Z - SLUT    =", d.Ze}};
    for (const auto &[label, v] : params)
        l << zoneLine(QString::fromLatin1(label) + plainNumberSigned(v));
    l << zoneLine(QStringLiteral("( KOMP. NR    = ") + d.compNo);
    l << QString();
    l << QStringLiteral("G0 Z") + plainNumber(d.Zs);
    return l.join(kCrLf) + kCrLf;
}

QString WriteHelixArcs(const HelixData &d)
{
    const Geometry g = geometry(d);
    const bool ext = d.external;
    const auto [P1, P2] = arcEnds(d, g);
    QStringList l;
    l << QStringLiteral("G0 X") + MakeNc(g.S.x) + QStringLiteral(" Y") + MakeNc(d.cy);
    l << QStringLiteral("G0 Z") + MakeNc(helixZ0(d));
    l << QString::fromLatin1(ext ? "G1 G41 D" : "G1 G42 D") + d.compNo + QStringLiteral(" X") + MakeNc(P1.x) +
             QStringLiteral(" Y") + MakeNc(P1.y);
    l << QString::fromLatin1(ext ? "G3 " : "G2 ") + pointLine(g.T, helixZ1(d)) + QStringLiteral(" I") +
             MakeNc(g.A.x - P1.x) + QStringLiteral(" J") + MakeNc(g.A.y - P1.y) +
             QString::fromLatin1(ext ? " ( ING.RADIE )" : " ( ING. RADIE )");
    l << QStringLiteral("G2 ") + pointLine(g.T, helixZ2(d)) + QStringLiteral(" I") + MakeNc(d.cx - g.T.x) +
             QStringLiteral(" J") + MakeNc(d.cy - g.T.y) +
             QString::fromLatin1(ext ? " ( GANGAN UTV )" : " ( GANGAN INV )");
    l << QString::fromLatin1(ext ? "G3 " : "G2 ") + pointLine(P2, d.Ze) + QStringLiteral(" I") +
             MakeNc(g.A.x - g.T.x) + QStringLiteral(" J") + MakeNc(g.A.y - g.T.y) + QStringLiteral(" ( UTG. RADIE )");
    return WriteHelixHeader(d) + l.join(kCrLf) + kCrLf + tail(d, g);
}

QString WriteHelixLinear(const HelixData &d)
{
    const Geometry g = geometry(d);
    const bool ext = d.external;
    const double s = d.halfDegree ? 0.5 : 1.0;
    const double z0 = helixZ0(d);
    const double dz = d.halfDegree ? (z0 - d.Ze) / 450 / 2 : (z0 - d.Ze) / 450;
    double z = z0;
    QStringList l;
    auto point = [&](const Point &p, const QString &prefix = {}) {
        l << prefix + pointLine(p, z);
        z -= dz;
    };
    auto section = [&](const char *title) { l << QString() << QString::fromLatin1(title) << QString(); };

    l << QStringLiteral("G0 X") + MakeNc(g.S.x) + QStringLiteral("Y") + MakeNc(d.cy);
    l << QStringLiteral("G0 Z") + MakeNc(z0);
    section(ext ? "( ** INGANGS RADIE - UTV ** )" : "( ** INGANGS RADIE - INV ** )");
    const QList<double> entry = ext ? angles(135, 180 - s, s) : angles(45, s, s);
    const QString first = QString::fromLatin1(ext ? "G1 G41 D" : "G1 G42 D") + d.compNo + QLatin1Char(' ');
    for (qsizetype i = 0; i < entry.size(); ++i)
        point(onCircle(g.A.x, g.A.y, d.r, entry[i]), i == 0 ? first : QString());
    section("( ** GAENGNING ** )");
    for (double a : angles(360, 0, s))
        point(onCircle(d.cx, d.cy, d.R, a));
    section(ext ? "( ** UTGANGS RADIE UTV ** )" : "( ** UTGANGS RADIE INV ** )");
    for (double a : ext ? angles(180 + s, 225, s) : angles(360 - s, 315, s))
        point(onCircle(g.A.x, g.A.y, d.r, a));
    return WriteHelixHeader(d) + l.join(kCrLf) + kCrLf + tail(d, g);
}

QByteArray helixProgram(const HelixData &d, bool linear)
{
    return toCp1252(linear ? WriteHelixLinear(d) : WriteHelixArcs(d));
}

bool writeHelixFile(const QString &path, const QByteArray &bytes, QString &message)
{
    try {
        writeHandOffFile(path, bytes);
        return true;
    } catch (const RkError &e) {
        message = QStringLiteral("Programmet kunde inte skrivas till %1:\r\n%2")
                      .arg(QDir::toNativeSeparators(path), e.description());
        return false;
    }
}

}
