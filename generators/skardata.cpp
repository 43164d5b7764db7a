#include "generators/skardata.h"

#include <QLocale>

#include <cmath>
#include <initializer_list>
#include <utility>

namespace lumrik {

namespace {

// Reads every input; false when one is no number.
bool readAll(std::initializer_list<std::pair<QString *, double *>> inputs)
{
    for (const auto &[text, value] : inputs)
        if (!skardataNumber(*text, *value))
            return false;
    return true;
}

}

QString DecimalSeparator()
{
    return QLocale().decimalPoint();
}

void FormatDS(QString &v)
{
    const QString ds = DecimalSeparator();
    v.replace(QLatin1Char('.'), ds);
    v.replace(QLatin1Char(','), ds);
}

QString FFormat(QString &v)
{
    v.replace(QLatin1Char(','), QLatin1Char('.'));
    return v;
}

bool skardataNumber(const QString &text, double &value)
{
    QString t = text.trimmed();
    FormatDS(t);
    QLocale locale;
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double v = locale.toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

QString skardataResult(double value)
{
    if (!std::isfinite(value))
        return QString();
    const double v = std::nearbyint(value * 1000.0) / 1000.0;
    if (!std::isfinite(v))
        return QString();
    if (v == 0)
        return QStringLiteral("0");
    QString s;
    if (std::abs(v) >= 1e15) {
        s = QString::number(v, 'g', 15).toUpper();
    } else {
        s = QString::number(v, 'f', 3);
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
    }
    return FFormat(s);
}

QString MillCalcVarvtal(QString Vc, QString dc)
{
    double vc = 0, d = 0;
    if (!readAll({{&Vc, &vc}, {&dc, &d}}) || d == 0)
        return QString();
    return skardataResult((vc * 1000) / (d * kSkardataPi));
}

QString MillCalcSkarh(QString n, QString dc)
{
    double nv = 0, d = 0;
    if (!readAll({{&n, &nv}, {&dc, &d}}))
        return QString();
    return skardataResult(d * (nv * kSkardataPi) / 1000);
}

QString MillCalcBordm(QString n, QString zn, QString fz)
{
    double nv = 0, z = 0, f = 0;
    if (!readAll({{&n, &nv}, {&zn, &z}, {&fz, &f}}))
        return QString();
    return skardataResult(f * (z * nv));
}

QString MillCalcMatningpv(QString fz, QString zn)
{
    double f = 0, z = 0;
    if (!readAll({{&fz, &f}, {&zn, &z}}))
        return QString();
    return skardataResult(f * z);
}

QString MillCalcMatningpt(QString hm, QString dc, QString ae)
{
    double h = 0, d = 0, a = 0;
    if (!readAll({{&hm, &h}, {&dc, &d}, {&ae, &a}}) || a == 0)
        return QString();
    return skardataResult(h * std::sqrt(d / a)); // a negative quotient gives no result
}

QString MillCalcMedelsp(QString fz, QString dc, QString ae)
{
    double f = 0, d = 0, a = 0;
    if (!readAll({{&fz, &f}, {&dc, &d}, {&ae, &a}}) || a == 0 || d == 0)
        return QString();
    return skardataResult(f * std::sqrt(a / d));
}

// Cutting speed and spindle speed are the same formulas in turning, with the
// diameter of the work piece in place of the cutter's.
QString LatheCalcSkarh(QString n, QString D) { return MillCalcSkarh(std::move(n), std::move(D)); }

QString LatheCalcVarvtal(QString Vc, QString D) { return MillCalcVarvtal(std::move(Vc), std::move(D)); }

QString LatheCalcYtjamnhet(QString f, QString re)
{
    double fv = 0, r = 0;
    if (!readAll({{&f, &fv}, {&re, &r}}) || r == 0)
        return QString();
    return skardataResult((fv * fv * 50) / r);
}

}
