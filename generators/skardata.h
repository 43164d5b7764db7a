#pragma once
// The cutting-data calculators for milling and turning: each takes the texts
// of its input boxes and gives the text of its result box, or "" while an input
// is no number or a divisor is 0. Inputs may use "." or "," as the decimal
// separator whatever the locale; results always use ".", rounded to three
// decimals (halves to the even neighbour), without trailing zeros.
#include <QString>

namespace lumrik {

// The constant the speed formulas use for pi.
inline constexpr double kSkardataPi = 3.1415;

// The user locale's decimal separator.
QString DecimalSeparator();
// Replaces every "." and every "," in `v` by the locale's decimal separator.
void FormatDS(QString &v);
// Replaces every "," in `v` by "." and returns it.
QString FFormat(QString &v);

// The locale-aware number test and conversion of the calculators (one rule for
// both): the text after FormatDS, blanks around allowed, no group separators.
bool skardataNumber(const QString &text, double &value);
// A result as the calculators show it: rounded to 3 decimals, "." form; ""
// for a value that is no finite number.
QString skardataResult(double value);

// Milling.
QString MillCalcVarvtal(QString Vc, QString dc);              // n = Vc*1000 / (Dc*pi)
QString MillCalcSkarh(QString n, QString dc);                 // Vc = Dc*(n*pi) / 1000
QString MillCalcBordm(QString n, QString zn, QString fz);     // vf = fz*(z*n)
QString MillCalcMatningpv(QString fz, QString zn);            // f = fz*z
QString MillCalcMatningpt(QString hm, QString dc, QString ae); // fz = hm*sqrt(Dc/ae)
QString MillCalcMedelsp(QString fz, QString dc, QString ae);  // hm = fz*sqrt(ae/Dc)
// Turning.
QString LatheCalcSkarh(QString n, QString D);                 // Vc = D*(n*pi) / 1000
QString LatheCalcVarvtal(QString Vc, QString D);              // n = Vc*1000 / (D*pi)
QString LatheCalcYtjamnhet(QString f, QString re);            // Ra = f^2*50 / re

}
