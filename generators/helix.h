#pragma once
// The thread-milling helix: the NC number format shared by the generators, the
// reading of the generator fields, the input check and the generated program.
// Plain functions without widgets; frmHelix is a thin window over them.
#include <QByteArray>
#include <QString>
#include <optional>

namespace lumrik {

// Degrees to radians, with the constant the generators have always used.
double Deg2Rad(double dDeg);

// The NC number format of every generated coordinate: rounded to three
// decimals (halves to the even neighbour), "." as the decimal point, no leading
// zero before the point, no trailing zeros, and a "." after a whole number:
// 10 -> "10.", 0.5 -> ".5", -0.25 -> "-.25", 1.0625 -> "1.062".
// Throws RkError(kErrOverflow) when the value times 1000 does not fit a signed
// 32-bit integer (or is not a number at all).
QString MakeNc(double dValue);
// True when MakeNc can write the value.
bool fitsNc(double dValue);

// The plain number text: "." as the decimal point, up to 15 significant
// digits, no leading zero before the point, no trailing zeros, no point for a
// whole number; not rounded (1.5 -> "1.5", -15 -> "-15", 0.5 -> ".5").
QString plainNumber(double v);
// The same with a sign column: a blank before zero and positive values.
QString plainNumberSigned(double v);

// A number typed into a generator field: blanks around it are ignored, "." and
// "," both serve as the decimal point; nothing else may stand in the text.
// Empty or malformed text gives no value.
std::optional<double> readFieldNumber(const QString &text);

// The texts of the helix dialog's fields, as typed.
struct HelixFields {
    QString gx, gy, gdiam, gs, safeZ, endZ, inR, compNo;
    bool external = false;  // "UT vändig gänga" chosen
};

// The data of one thread, as the input check leaves it.
struct HelixData {
    double cx = 0, cy = 0;  // centre
    double R = 0;           // thread radius (diameter / 2)
    double P = 0;           // pitch
    double Ze = 0;          // end Z of the thread
    double r = 0;           // entry radius
    double Zs = 0;          // safe Z
    QString compNo;         // cutter compensation number
    bool external = false;
    bool halfDegree = false; // linear form: 0.5 degree steps instead of 1.0
};

// Z levels of the path: start, end of the entry arc, end of the thread turn, end.
double helixZ0(const HelixData &d);
double helixZ1(const HelixData &d);
double helixZ2(const HelixData &d);

// Reads the fields into `data` and checks them. Returns "" when they make a
// program, otherwise the one message to show. The classic tests come first
// (the last failing one gives the message): internal thread with an entry
// radius not smaller than the thread radius, no diameter, no entry radius, no
// pitch, no compensation number. When they all pass, every field must be
// empty (it reads 0) or hold a number, the sizes must be positive, the thread
// radius and the entry radius at least 0.002 (a smaller arc would be written
// as I0. J0. or start and end on one point), every value must fit the NC
// number format, the entry and exit arcs as written (three decimals) must
// keep their start and end radius within 5 % of each other, and the safe Z
// must not lie below the start of the path.
QString CheckHelixInput(const HelixFields &fields, HelixData &data);

// The program header (from "%" to the first "G0 Z" line), CR LF lines.
QString WriteHelixHeader(const HelixData &d);
// The complete program in the arc form (G2/G3 with I and J).
QString WriteHelixArcs(const HelixData &d);
// The complete program in the linear form (G1 points every 1.0 or 0.5 degree).
QString WriteHelixLinear(const HelixData &d);
// The program of the chosen form as the bytes of the hand-off file.
QByteArray helixProgram(const HelixData &d, bool linear);

// Writes the hand-off file whole or not at all; false with a message when the
// file cannot be written.
bool writeHelixFile(const QString &path, const QByteArray &bytes, QString &message);

}
