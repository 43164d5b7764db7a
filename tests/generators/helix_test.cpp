// The thread-milling helix: the NC number format, the input check and the
// generated program in both forms, and the dialog that writes "helix.tmp".
#include "core/errors.h"
#include "core/globals.h"
#include "generators/frmhelix.h"
#include "generators/helix.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace lumrik;

namespace {

HelixData internalExample()
{
    HelixData d;
    d.cx = 0; d.cy = 0; d.R = 5; d.P = 1.5; d.Zs = 5; d.Ze = -15; d.r = 2; d.compNo = "1";
    d.external = false;
    return d;
}

HelixData externalExample()
{
    HelixData d;
    d.cx = 50; d.cy = 20; d.R = 15; d.P = 2; d.Zs = 10; d.Ze = -12; d.r = 3; d.compNo = "7";
    d.external = true;
    return d;
}

QStringList lines(const QString &text)
{
    EXPECT_TRUE(text.endsWith("\r\n"));
    QStringList l = text.split("\r\n");
    l.removeLast();
    return l;
}

HelixFields fieldsOf(const char *gx, const char *gy, const char *diam, const char *pitch, const char *safeZ,
                     const char *endZ, const char *inR, const char *comp, bool external)
{
    return {gx, gy, diam, pitch, safeZ, endZ, inR, comp, external};
}

const char *kInternalHeader =
    "%\r\n"
    "O???? ( ** PROGNO ** )\r\n"
    "\r\n"
    "( CENTRUM - X = 0           )\r\n"
    "( CENTRUM - Y = 0           )\r\n"
    "( RADIE       = 5           )\r\n"
    "( S AVST  - Z = 5           )\r\n"
    "( ING.RADIE   = 2           )\r\n"
    "( STIGNING    = 1.5         )\r\n"
    "( Z - SLUT    =-15          )\r\n"
    "( KOMP. NR    = 1           )\r\n"
    "\r\n"
    "G0 Z5\r\n";

}

TEST(HelixFormat, MakeNcRoundsToThousandthsHalvesToEven)
{
    const std::pair<double, const char *> cases[] = {
        {10, "10."},          {0, "0."},           {0.5, ".5"},         {-0.25, "-.25"},
        {123.4567, "123.457"}, {1.0625, "1.062"},  {-13.3125, "-13.312"}, {1.0635, "1.064"},
        {-0.0004, "0."},      {6.123e-17, "0."},   {-1000, "-1000."},   {2147483.647, "2147483.647"},
        {-2147483.648, "-2147483.648"}};
    for (const auto &[v, text] : cases)
        EXPECT_EQ(MakeNc(v), QString::fromLatin1(text)) << v;
}

TEST(HelixFormat, MakeNcRefusesWhatDoesNotFit)
{
    EXPECT_FALSE(fitsNc(2147483.648));
    EXPECT_FALSE(fitsNc(std::nan("")));
    EXPECT_FALSE(fitsNc(INFINITY));
    EXPECT_THROW(MakeNc(1e7), RkError);
    EXPECT_THROW(MakeNc(std::nan("")), RkError);
}

TEST(HelixFormat, FieldNumbersTakeCommaOrPoint)
{
    EXPECT_EQ(readFieldNumber("12,5"), 12.5);
    EXPECT_EQ(readFieldNumber(" -3.25 "), -3.25);
    EXPECT_EQ(readFieldNumber(".5"), 0.5);
    EXPECT_EQ(readFieldNumber("+5."), 5.0);
    for (const char *bad : {"", "  ", "-", ".", "abc", "12x", "1.2.3", "1,2.3", "1 2", "1e3"})
        EXPECT_FALSE(readFieldNumber(bad).has_value()) << bad;
}

TEST(HelixProgram, ArcFormInternalExample)
{
    const QString expected = QString::fromLatin1(kInternalHeader) +
                             "G0 X0. Y0.\r\n"
                             "G0 Z-13.125\r\n"
                             "G1 G42 D1 X4.414 Y1.414\r\n"
                             "G2 X5. Y0. Z-13.312 I-1.414 J-1.414 ( ING. RADIE )\r\n"
                             "G2 X5. Y0. Z-14.812 I-5. J0. ( GANGAN INV )\r\n"
                             "G2 X4.414 Y-1.414 Z-15. I-2. J0. ( UTG. RADIE )\r\n"
                             "G0 G40 X0. Y0.\r\n"
                             "G0 Z5\r\n"
                             "M99\r\n"
                             "%\r\n";
    EXPECT_EQ(WriteHelixArcs(internalExample()), expected);
    EXPECT_EQ(helixProgram(internalExample(), false), expected.toLatin1());
}

TEST(HelixProgram, ArcFormExternalExample)
{
    const QStringList l = lines(WriteHelixArcs(externalExample()));
    const QStringList body = l.mid(13);
    const QStringList expected = {"G0 X68. Y20.",
                                  "G0 Z-9.5",
                                  "G1 G41 D7 X65.879 Y22.121",
                                  "G3 X65. Y20. Z-9.75 I2.121 J-2.121 ( ING.RADIE )",
                                  "G2 X65. Y20. Z-11.75 I-15. J0. ( GANGAN UTV )",
                                  "G3 X65.879 Y17.879 Z-12. I3. J0. ( UTG. RADIE )",
                                  "G0 G40 X68. Y20.",
                                  "G0 Z10",
                                  "M99",
                                  "%"};
    EXPECT_EQ(body, expected);
    EXPECT_EQ(l[3], "( CENTRUM - X = 50          )");
    EXPECT_EQ(l[12], "G0 Z10");
}

TEST(HelixProgram, HeaderZones)
{
    HelixData d = internalExample();
    d.cx = -1234.5678;          // 10 characters: ")" still in column 29
    d.cy = 123456789012.5;      // 14 characters: the ")" moves on to the next zone
    d.Zs = 0.5;
    const QStringList l = lines(WriteHelixHeader(d));
    EXPECT_EQ(l[3], "( CENTRUM - X =-1234.5678   )");
    EXPECT_TRUE(l[4].startsWith("( CENTRUM - Y = 123456789012.5 ")) << l[4].toStdString();
    EXPECT_EQ(l[4].indexOf(')'), 42);
    EXPECT_EQ(l[6], "( S AVST  - Z = .5          )");
    EXPECT_EQ(l.last(), "G0 Z.5");
    for (int i = 5; i <= 10; ++i)
        EXPECT_EQ(l[i].indexOf(')'), 28) << l[i].toStdString();
}

TEST(HelixProgram, LinearFormInternalOneDegree)
{
    const QStringList l = lines(WriteHelixLinear(internalExample()));
    ASSERT_EQ(l.size(), 479);
    EXPECT_EQ(QString::fromLatin1(kInternalHeader), l.mid(0, 13).join("\r\n") + "\r\n");
    EXPECT_EQ(l[13], "G0 X0.Y0.");
    EXPECT_EQ(l[14], "G0 Z-13.125");
    EXPECT_EQ(l[15], "");
    EXPECT_EQ(l[16], "( ** INGANGS RADIE - INV ** )");
    EXPECT_EQ(l[17], "");
    EXPECT_EQ(l[18], "G1 G42 D1 X4.414 Y1.414 Z-13.125");
    EXPECT_EQ(l[19], "X4.439 Y1.389 Z-13.129");
    EXPECT_EQ(l[62], "X5. Y.035 Z-13.308");
    EXPECT_EQ(l[64], "( ** GAENGNING ** )");
    EXPECT_EQ(l[66], "X5. Y0. Z-13.312");
    EXPECT_EQ(l[67], "X4.999 Y-.087 Z-13.317");
    EXPECT_EQ(l[426], "X5. Y0. Z-14.812");
    EXPECT_EQ(l[428], "( ** UTGANGS RADIE INV ** )");
    EXPECT_EQ(l[430], "X5. Y-.035 Z-14.817");
    EXPECT_EQ(l[474], "X4.414 Y-1.414 Z-15.");
    EXPECT_EQ(l.mid(475), QStringList({"G0 G40 X0. Y0.", "G0 Z5", "M99", "%"}));
}

TEST(HelixProgram, LinearFormHalfDegreeExternal)
{
    HelixData d = externalExample();
    d.halfDegree = true;
    const QStringList l = lines(WriteHelixLinear(d));
    int points = 0;
    for (const QString &s : l)
        if (s.contains(" Z") && s.contains('X') && !s.startsWith("G0"))
            ++points;
    EXPECT_EQ(points, 901);
    EXPECT_TRUE(l[18].startsWith("G1 G41 D7 X65.879 Y22.121 Z-9.5")) << l[18].toStdString();
    // Entry 90 points (135..179.5), turn 721, exit 90 (180.5..225).
    EXPECT_EQ(l[111], "X65. Y20. Z-9.75");
    EXPECT_EQ(l[831], "X65. Y20. Z-11.75");
    // The exit's first point lies at 180.5 degrees on the entry circle about (68, 20).
    EXPECT_EQ(l[835], QString("X%1 Y%2 Z-11.753").arg(MakeNc(68 + 3 * std::cos(Deg2Rad(180.5))),
                                                         MakeNc(20 + 3 * std::sin(Deg2Rad(180.5)))));
    EXPECT_EQ(l[924], "X65.879 Y17.879 Z-12.");
    EXPECT_EQ(l[925], "G0 G40 X68. Y20.");
}

TEST(HelixCheck, ClassicTestsLastFailureWins)
{
    gbNotSwedish = false;
    HelixData d;
    EXPECT_EQ(CheckHelixInput(fieldsOf("", "", "", "", "", "", "", "", false), d),
              "Kompenseringsnummer MÅSTE anges ");
    EXPECT_EQ(CheckHelixInput(fieldsOf("0", "0", "10", "", "5", "-15", "2", "1", false), d),
              "Gängstigning MÅSTE anges ");
    EXPECT_EQ(CheckHelixInput(fieldsOf("0", "0", "10", "1.5", "5", "-15", "", "1", false), d),
              "Ingångsradien MÅSTE anges ");
    EXPECT_EQ(CheckHelixInput(fieldsOf("0", "0", "", "1.5", "5", "-15", "2", "1", false), d),
              "Diameter på gängan saknas ");
    // Entry radius equal to the thread radius on an internal thread.
    EXPECT_EQ(CheckHelixInput(fieldsOf("0", "0", "10", "1.5", "5", "-15", "5", "1", false), d),
              "Ingångsradien MÅSTE vara MINDRE än\r\nradien på gängan");
    // External with r larger than R is fine.
    EXPECT_EQ(CheckHelixInput(fieldsOf("0", "0", "10", "1.5", "5", "-15", "8", "1", true), d), "");
}

TEST(HelixCheck, ReadsTheFieldsWithEitherSeparatorAndEmptyAsZero)
{
    HelixData d;
    ASSERT_EQ(CheckHelixInput(fieldsOf("50", "20,5", "30", "1,5", "10", "-12", "3", " 7 ", true), d), "");
    EXPECT_EQ(d.cy, 20.5);
    EXPECT_EQ(d.R, 15);
    EXPECT_EQ(d.P, 1.5);
    EXPECT_EQ(d.compNo, "7");
    EXPECT_TRUE(d.external);

    // Centre and end Z left empty read 0: a thread at the origin ending at Z0.
    ASSERT_EQ(CheckHelixInput(fieldsOf("", " ", "10", "1.5", "5", "", "2", "1", false), d), "");
    EXPECT_TRUE(d.cx == 0 && d.cy == 0 && d.Ze == 0);
    const QStringList l = lines(WriteHelixArcs(d));
    EXPECT_EQ(l[13], "G0 X0. Y0.");
    EXPECT_EQ(l[18], "G2 X4.414 Y-1.414 Z0. I-2. J0. ( UTG. RADIE )");
    // An empty safe Z reads 0 too, which here lies below the start of the path.
    EXPECT_EQ(CheckHelixInput(fieldsOf("0", "0", "10", "1.5", "", "", "2", "1", false), d),
              "Säkerhetsavståndet i Z ligger under gängfräsningens start (Z1.875)");
}

// Arcs too small for three decimals would come out as I0. J0., with their
// start on their end, or bent: start and end at clearly different distances
// from the centre the words give. All are refused; the arcs that are taken
// keep their shape.
namespace {
struct XY {
    double x = 0, y = 0;
};
double word(const QString &line, QChar letter)
{
    for (const QString &w : line.split(' '))
        if (w.startsWith(letter))
            return w.mid(1).toDouble();
    return 0;
}
XY at(const QString &line) { return {word(line, 'X'), word(line, 'Y')}; }
// Start and end radius of the arc on `line`, which starts where `before` ends.
std::pair<double, double> radii(const QString &before, const QString &line)
{
    const XY s = at(before), e = at(line);
    const XY c{s.x + word(line, 'I'), s.y + word(line, 'J')};
    return {std::hypot(s.x - c.x, s.y - c.y), std::hypot(e.x - c.x, e.y - c.y)};
}
}

TEST(HelixCheck, ArcsTooSmallForTheNumberFormatAreRefused)
{
    HelixData d;
    for (const char *r : {"0.0001", "0.001", "0.0019"})
        EXPECT_EQ(CheckHelixInput(fieldsOf("0", "-0.0004", "10", "1.5", "5", "-15", r, "1", false), d),
                  "Ingångsradien måste vara minst 0.002")
            << r;
    EXPECT_EQ(CheckHelixInput(fieldsOf("0", "0", "0.003", "1.5", "5", "-15", "8", "1", true), d),
              "Gängans diameter måste vara minst 0.004");
    // Entry arc from X.002 Y.001 with I-.001 J-.001 to X.002 Y0.: 0.0014 from
    // its centre at the start, 0.001 at the end.
    EXPECT_EQ(CheckHelixInput(fieldsOf("0", "0", "0.005", "1.5", "5", "-15", "0.002", "1", false), d),
              "Ingångsradien eller gängans diameter är för liten för tre decimaler: ingångsbågen skulle få "
              "startradien 0.00141 och slutradien 0.001");
    EXPECT_TRUE(CheckHelixInput(fieldsOf("0", "0", "10", "1.5", "5", "-15", "0.002", "1", true), d)
                    .startsWith("Ingångsradien eller gängans diameter är för liten"));
    for (bool external : {false, true})
        for (const char *cy : {"0", "-0.0004", "0.0004", "0.0005"})
            for (const char *r : {"0.01", "0.03", "2"}) {
                ASSERT_EQ(CheckHelixInput(fieldsOf("0", cy, "10", "1.5", "5", "-15", r, "1", external), d), "")
                    << cy << " " << r;
                const QStringList l = lines(WriteHelixArcs(d));
                // Entry arc from the line before it to its own end; exit arc
                // from the thread turn's end.
                for (int i : {16, 18}) {
                    EXPECT_FALSE(l[i].contains("I0. J0.")) << l[i].toStdString();
                    EXPECT_FALSE(l[i].contains("I-0.")) << l[i].toStdString();
                    const auto [start, end] = radii(l[i - 1], l[i]);
                    EXPECT_NEAR(start, end, 0.05 * std::max(start, end)) << l[i].toStdString();
                }
                EXPECT_NE(at(l[15]).y, at(l[16]).y) << cy;
                EXPECT_NE(at(l[16]).y, at(l[18]).y) << cy;
            }
}

TEST(HelixCheck, BadInputIsNamed)
{
    HelixData d;
    auto check = [&](HelixFields f) { return CheckHelixInput(f, d); };
    EXPECT_EQ(check(fieldsOf("0", "0", "10", "1.5", "5", "abc", "2", "1", false)),
              "Gängans slut i Z: \"abc\" är inget giltigt tal");
    EXPECT_EQ(check(fieldsOf("0", "0", "10", "1.5x", "5", "-15", "2", "1", false)),
              "Gängstigning: \"1.5x\" är inget giltigt tal");
    EXPECT_EQ(check(fieldsOf("0", "0", "10", "1.5", "5", "-15", "2", "1.5", false)),
              "Kompenseringsnumret måste vara ett heltal (\"1.5\")");
    EXPECT_EQ(check(fieldsOf("0", "0", "-10", "1.5", "5", "-15", "2", "1", true)),
              "Gängans diameter måste vara större än 0");
    EXPECT_EQ(check(fieldsOf("0", "0", "10", "1.5", "5", "-15", "-2", "1", false)),
              "Ingångsradien måste vara större än 0");
    EXPECT_EQ(check(fieldsOf("0", "0", "10", "-1.5", "5", "-15", "2", "1", false)),
              "Gängstigningen måste vara större än 0");
    EXPECT_EQ(check(fieldsOf("0", "0", "10", "1.5", "-20", "-15", "2", "1", false)),
              "Säkerhetsavståndet i Z ligger under gängfräsningens start (Z-13.125)");
    EXPECT_EQ(check(fieldsOf("0", "0", "10", "1.5", "-13.125", "-15", "2", "1", false)), "");
    EXPECT_EQ(check(fieldsOf("2147483", "0", "10", "1.5", "5", "-15", "2", "1", false)),
              "Värdena är för stora för NC-programmet (högst 2147483.647)");
}

TEST(HelixCheck, MessagesFromTheLanguageFile)
{
    test::TempEnv env;
    const QString file = env.write("lang.lng", "[LANGUAGE]\r\n820=Radius\r\n821=Fel\r\n825=No comp\r\n");
    gsLanguageFile = file;
    gbNotSwedish = true;
    HelixData d;
    EXPECT_EQ(CheckHelixInput(fieldsOf("0", "0", "10", "1.5", "5", "-15", "5", "1", false), d),
              "RadiusFel");
    EXPECT_EQ(CheckHelixInput(fieldsOf("0", "0", "10", "1.5", "5", "-15", "2", "", false), d), "No comp");
    EXPECT_EQ(CheckHelixInput(fieldsOf("0", "0", "", "1.5", "5", "-15", "2", "1", false), d), "str822");
    gbNotSwedish = false;
    gsLanguageFile.clear();
}

// A full disk is seen, not reported as a written program: the old file stays.
TEST(HelixFile, AWriteCutShortIsReportedAndKeepsTheOldFile)
{
    test::TempEnv env;
    const QString path = env.tmpPath() + "/helix.tmp";
    const QByteArray old(100, 'O');
    test::writeFile(path, old);
    QString message;
    bool written;
    {
        const test::FileSizeLimit limit(1000);
        ASSERT_TRUE(limit.active());
        written = writeHelixFile(path, QByteArray(5000, 'N'), message);
    }
    EXPECT_FALSE(written);
    EXPECT_TRUE(message.startsWith("Programmet kunde inte skrivas till ")) << message.toStdString();
    EXPECT_EQ(test::readFile(path), old);
}
