// Line-end detection, the hexadecimal views and loading files into a document.
#include "core/errors.h"
#include "core/globals.h"
#include "core/lineends.h"
#include "documents/hexview.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace lumrik;
using namespace lumrik::test;

namespace {

QByteArray allBytes()
{
    QByteArray b;
    for (int i = 0; i < 256; ++i)
        b.append(char(i));
    return b;
}

}

TEST(LineEnds, ClassifiesByFirst1024Bytes)
{
    EXPECT_EQ(lineEndTypeOf(""), 2);
    EXPECT_EQ(lineEndTypeOf("N10 G0\nN20 X1\n"), 2);
    EXPECT_EQ(lineEndTypeOf("N10 G0\r\nN20 X1\n"), 1);  // one CR LF decides
    EXPECT_EQ(lineEndTypeOf("N10 G0\rN20 X1\r"), 2);    // CR alone is no CR LF
    QByteArray late(1023, 'A');
    late += "\r\n";                                      // CR is byte 1024: not seen
    EXPECT_EQ(lineEndTypeOf(late), 2);
    QByteArray seen(1022, 'A');
    seen += "\r\n";                                      // LF is byte 1024: seen
    EXPECT_EQ(lineEndTypeOf(seen), 1);
}

TEST(LineEnds, FileTypeReadsTheFileAndFailsOnMissing)
{
    TempEnv env;
    EXPECT_EQ(fileLineEndType(env.write("a.nc", "%\r\nO1\r\n")), 1);
    EXPECT_EQ(fileLineEndType(env.write("b.nc", QByteArray(5000, 'x') + "\r\n")), 2);
    EXPECT_THROW(fileLineEndType(env.path("missing.nc")), RkError);
}

TEST(ReadFile, EveryByteOfFilesOfAnySizeAndOfFilesThatTellNoSize)
{
    TempEnv env;
    for (qsizetype size : {qsizetype(0), qsizetype(1), qsizetype(4096), qsizetype(4097), qsizetype(3 << 20) + 5}) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (qsizetype i = 0; i < size; ++i)
            bytes[i] = char((i * 131 + i / 4096) & 0xFF);
        EXPECT_EQ(readFileBytes(env.write(QStringLiteral("f%1.nc").arg(size), bytes)), bytes) << size;
    }
    // A file the system gives no size for is read to its end all the same.
    const QByteArray status = readFileBytes(QStringLiteral("/proc/self/status"));
    EXPECT_TRUE(status.startsWith("Name:")) << status.left(40).constData();
    EXPECT_TRUE(status.endsWith('\n'));
    EXPECT_THROW(readFileBytes(env.path("missing.nc")), RkError);
}

TEST(LineEnds, ConvertsEitherWayAndKeepsOtherBytes)
{
    EXPECT_EQ(convertLineEnds("A\nB\r\nC", 1), QByteArray("A\r\nB\r\nC"));
    EXPECT_EQ(convertLineEnds("A\nB\r\nC\n", 2), QByteArray("A\nB\nC\n"));
    EXPECT_EQ(convertLineEnds("\n", 1), QByteArray("\r\n"));
    EXPECT_EQ(convertLineEnds("A\rB\r\r\n", 2), QByteArray("A\rB\r\n")); // lone CR stays
    EXPECT_EQ(convertLineEnds("A\rB\r\r\n", 1), QByteArray("A\rB\r\r\n"));

    // Every byte value survives a round trip through both forms.
    QByteArray crlf;
    for (int i = 0; i < 256; ++i)
        if (i != '\r' && i != '\n')
            crlf += "N" + QByteArray::number(i) + " (" + char(i) + ")\r\n";
    const QByteArray lf = convertLineEnds(crlf, 2);
    EXPECT_FALSE(lf.contains('\r'));
    EXPECT_EQ(lf.size(), crlf.size() - crlf.count('\n'));
    EXPECT_EQ(convertLineEnds(lf, 1), crlf);
    EXPECT_EQ(convertLineEnds(crlf, 1), crlf);
    EXPECT_EQ(convertLineEnds(lf, 2), lf);

    // A text already in form is handed back without a copy; a mixed one is not in either form.
    EXPECT_EQ(withLineEnds(crlf, 1).constData(), crlf.constData());
    EXPECT_EQ(withLineEnds(lf, 1), crlf);
    EXPECT_TRUE(hasLineEndsOf("A\r\nB\rC", 1));
    EXPECT_TRUE(hasLineEndsOf("", 2));
    EXPECT_FALSE(hasLineEndsOf("A\r\nB\n", 1));
    EXPECT_FALSE(hasLineEndsOf("A\r\nB\n", 2));
    EXPECT_EQ(convertLineEnds("\r\n\n\r\r\n", 2), QByteArray("\n\n\r\n"));

    // Where a line ends, as the editor counts lines: CR LF, LF or a lone CR.
    const QByteArray mixed = "AB\r\nC\nD\rE";
    EXPECT_EQ(lineEndAt(mixed, 0), 2);
    EXPECT_EQ(lineEndAt(mixed, 4), 5);
    EXPECT_EQ(lineEndAt(mixed, 6), 7);
    EXPECT_EQ(lineEndAt(mixed, 8), mixed.size());
}

TEST(HexView, DumpCharacterShowsControlsAsPoints)
{
    for (unsigned char b : {0, 9, 10, 13, 31, 32})
        EXPECT_EQ(hexDumpChar(b), '.');
    EXPECT_EQ(hexDumpChar(33), '!');
    EXPECT_EQ(hexDumpChar(127), char(127));
    EXPECT_EQ(hexDumpChar(233), char(233));
}

TEST(HexView, Mode3FullAndShortLines)
{
    EXPECT_EQ(hexRender("ABCDEFGHIJKLMNOP", 3),
              QByteArray("00000 | 41 42 43 44 45 46 47 48 - 49 4A 4B 4C 4D 4E 4F 50  | ABCDEFGHIJKLMNOP\r\n"));
    const QByteArray g = hexRender("G01 X10.", 3);
    EXPECT_EQ(g, "00000 | 47 30 31 20 58 31 30 2E - " + QByteArray(24, ' ') + " | G01.X10." + QByteArray(8, ' '));
    EXPECT_EQ(g.size(), 5 + 3 + 50 + 3 + 16);

    const QByteArray twenty = hexRender("0123456789ABCDEFGHIJ", 3);
    const QList<QByteArray> lines = twenty.split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith('\r'));
    EXPECT_EQ(lines[0].size(), 78);
    EXPECT_EQ(lines[1], "00010 | 47 48 49 4A " + QByteArray(38, ' ') + " | GHIJ" + QByteArray(12, ' '));

    const QByteArray two = hexRender(QByteArray(32, 'x'), 3);
    EXPECT_TRUE(two.startsWith("00000 | "));
    EXPECT_TRUE(two.contains("\r\n00010 | "));
    EXPECT_TRUE(two.endsWith(" | xxxxxxxxxxxxxxxx\r\n"));
    EXPECT_EQ(two.size(), 2 * 79);
    EXPECT_TRUE(hexRender("", 3).isEmpty());
    EXPECT_FALSE(hexRender("", 3).isNull());
}

TEST(HexView, Mode3OffsetsGrowPastFiveDigits)
{
    const QByteArray big(0x100000 + 16, 'a');
    const QByteArray out = hexRender(big, 3);
    EXPECT_TRUE(out.contains("\r\nFFFF0 | "));
    EXPECT_TRUE(out.contains("\r\n100000 | 61 "));
    EXPECT_EQ(out.count('\n'), big.size() / 16);
}

TEST(HexView, Mode3ShowsEveryByteValue)
{
    const QByteArray out = hexRender(allBytes(), 3);
    const QList<QByteArray> lines = out.split('\n');
    ASSERT_EQ(lines.size(), 17); // 16 lines and the empty rest after the last CR LF
    QByteArray back;
    for (int l = 0; l < 16; ++l) {
        const QByteArray &line = lines[l];
        EXPECT_EQ(line.left(5), QByteArray::number(l * 16, 16).toUpper().rightJustified(5, '0'));
        const QByteArray hex = line.mid(8, 50);
        for (const QByteArray &h : hex.split(' '))
            if (!h.isEmpty() && h != "-")
                back.append(char(h.toInt(nullptr, 16)));
        const QByteArray chars = line.mid(61, 16);
        for (int k = 0; k < 16; ++k)
            EXPECT_EQ(chars[k], hexDumpChar((unsigned char)(l * 16 + k)));
    }
    EXPECT_EQ(back, allBytes());
}

TEST(HexView, OtherModes31BytesToALine)
{
    EXPECT_EQ(hexRender("AB", 1), QByteArray("41 42 "));
    EXPECT_EQ(hexRender("AB", 2), QByteArray("41 42 "));
    const QByteArray two = hexRender(QByteArray(62, 'Z'), 1);
    const QByteArray line = QByteArray("5A ").repeated(31) + "\r\n";
    EXPECT_EQ(two, line + line);
    const QByteArray all = hexRender(allBytes(), 1);
    EXPECT_EQ(all.size(), 256 * 3 + 8 * 2);
    EXPECT_TRUE(all.startsWith("00 01 02 "));
    EXPECT_TRUE(all.endsWith("FD FE FF "));
}

TEST(HexView, StopsWhenProgressSaysSo)
{
    const QByteArray big(50000, 'q');
    int calls = 0;
    const QByteArray out = hexRender(big, 3, [&](qint64 done) {
        ++calls;
        EXPECT_LT(done, big.size());
        return calls < 3;
    });
    EXPECT_TRUE(out.isNull());
    EXPECT_EQ(calls, 3);
    // Without a stop the callback runs about every 1001 bytes.
    calls = 0;
    hexRender(big, 1, [&](qint64) { return ++calls > 0; });
    EXPECT_NEAR(calls, 50000 / 1001, 2);
}

// ----- loading into a document window ------------------------------------------

#include "core/inifile.h"
#include "documents/frmdocument.h"
#include "documents/host.h"
#include "documents/loading.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QWidget>

namespace {

QByteArray bufferBytes(const Editor *ed)
{
    return ed->textView().toByteArray();
}

// A program with every byte value from 0x80 to 0xFF (and the other
// non-line-end bytes) inside comments.
QByteArray programWithAllBytes(const QByteArray &eol)
{
    QByteArray p = "%" + eol + "O1000 (ÅÄÖ åäö)" + eol;
    for (int i = 0; i < 256; i += 8) {
        p += "N" + QByteArray::number(i) + " G1 X" + QByteArray::number(i) + ". (";
        for (int k = i; k < i + 8; ++k)
            if (k != '\r' && k != '\n')
                p += char(k);
        p += ")" + eol;
    }
    return p + "M30" + eol + "%" + eol;
}

void setExtensionMode(const TempEnv &env, const QString &ext, const QString &value)
{
    SaveIniSetting("Extensions", ext, value, env.path("lumrik32.INI"));
}

}

TEST(FileOpen, LoadsTextAsBytesAndTakesItsLineEnds)
{
    TempEnv env;
    for (const QByteArray &eol : {QByteArray("\r\n"), QByteArray("\n")}) {
        const QByteArray bytes = programWithAllBytes(eol);
        const QString path = env.write("O1000.NC", bytes);
        frmDocument doc;
        doc.setCaption("NAMNLÖS");
        doc.FileOpen(path);
        EXPECT_EQ(bufferBytes(doc.txtText), bytes);
        EXPECT_EQ(doc.txtText->TextType(), eol.size() == 2 ? 1 : 2);
        EXPECT_EQ(doc.caption(), path);
        EXPECT_TRUE(doc.bNamed);
        EXPECT_FALSE(doc.bLoading);
        EXPECT_FALSE(doc.bHexView || doc.bReadOnly);
        EXPECT_FALSE(doc.txtText->IsDirty());
        EXPECT_FALSE(doc.txtText->ReadOnly());
        EXPECT_TRUE(doc.txtText->Redraw());
        EXPECT_EQ(doc.fileStamp, QFileInfo(path).lastModified());
    }
}

// Line ends that differ from the program's type stay as the file has them,
// shown as the lines the editor counts (CR LF, LF and a lone CR each end one),
// and saving writes the same bytes back.
TEST(FileOpen, UnevenLineEndsKeepTheirBytesFromLoadToSave)
{
    TempEnv env;
    struct Case {
        QByteArray bytes;
        int type, lines;
    };
    QByteArray late(1100, 'x');
    const std::vector<Case> cases = {
        {late + "\ng1 x5\r\r\ng1 x6\n", 2, 5},
        {late + "\ng1 x5\r\r\r\ng1 x6", 2, 5},
        {"g1 x5\r\ng1 x6\ng1 x7\rg1 x8\r", 1, 5},
        {QByteArray("M1\r\0\nM2\n", 8), 2, 4},
    };
    for (const Case &c : cases) {
        const QString path = env.write("MIXED.NC", c.bytes);
        frmDocument doc;
        doc.FileOpen(path);
        EXPECT_EQ(doc.txtText->TextType(), c.type);
        EXPECT_EQ(bufferBytes(doc.txtText), c.bytes);
        EXPECT_EQ(doc.txtText->Count(), c.lines);
        doc.txtText->FileSave(env.path("SAVED.NC"));
        EXPECT_EQ(readFile(env.path("SAVED.NC")), c.bytes);
    }
}

TEST(FileOpen, ExtensionModesChooseTheView)
{
    TempEnv env;
    setExtensionMode(env, "dmp", "3");
    setExtensionMode(env, "HEX", "1");
    setExtensionMode(env, "lst", "2");
    setExtensionMode(env, "xyz", "9");
    const QByteArray bytes = "G01 X10.";

    frmDocument dump;
    dump.setCaption("/given/by/caller");
    dump.FileOpen(env.write("A.DMP", bytes)); // extension found without regard to case
    ASSERT_TRUE(untilLongWorkIsOver());
    EXPECT_TRUE(dump.bHexView);
    EXPECT_TRUE(dump.bReadOnly);
    EXPECT_TRUE(dump.txtText->ReadOnly());
    EXPECT_FALSE(dump.txtText->IsDirty());
    EXPECT_EQ(bufferBytes(dump.txtText), hexRender(bytes, 3));
    EXPECT_EQ(dump.caption(), "/given/by/caller"); // the hex path leaves the caption alone

    frmDocument hex;
    hex.FileOpen(env.write("b.hex", bytes));
    ASSERT_TRUE(untilLongWorkIsOver());
    EXPECT_TRUE(hex.bHexView);
    EXPECT_FALSE(hex.bReadOnly); // kept
    EXPECT_TRUE(hex.txtText->ReadOnly());
    EXPECT_EQ(bufferBytes(hex.txtText), QByteArray("47 30 31 20 58 31 30 2E "));

    frmDocument list;
    list.FileOpen(env.write("c.lst", bytes));
    EXPECT_FALSE(list.bHexView);
    EXPECT_TRUE(list.bReadOnly);
    EXPECT_TRUE(list.txtText->ReadOnly());
    EXPECT_EQ(bufferBytes(list.txtText), bytes);

    for (const QString &name : {QString("d.xyz"), QString("noext"), QString("e.nc")}) {
        frmDocument plain;
        plain.FileOpen(env.write(name, bytes));
        EXPECT_FALSE(plain.bHexView || plain.bReadOnly) << name.toStdString();
        EXPECT_FALSE(plain.txtText->ReadOnly());
    }

    frmDocument empty;
    empty.FileOpen(env.write("empty.dmp", ""));
    ASSERT_TRUE(untilLongWorkIsOver());
    EXPECT_EQ(empty.txtText->TextLength(), 0);
    EXPECT_TRUE(empty.txtText->ReadOnly());
}

TEST(FileOpen, AFailedLoadLeavesTheWindowAsItWas)
{
    TempEnv env;
    setExtensionMode(env, "bad", "tre");
    setExtensionMode(env, "dmp", "3");
    const QString good = env.write("O1.NC", "N10 G0\r\n");
    frmDocument doc;
    doc.FileOpen(good);
    doc.txtText->setCaret(3, 1);

    for (const QString &path : {env.path("missing.NC"), env.write("x.bad", "A"), env.path("missing.dmp")}) {
        EXPECT_THROW(doc.FileOpen(path), RkError) << path.toStdString();
        EXPECT_FALSE(doc.bLoading);
        EXPECT_TRUE(doc.txtText->Redraw());
        EXPECT_EQ(doc.caption(), good);
        EXPECT_FALSE(doc.bHexView || doc.bReadOnly);
        EXPECT_EQ(bufferBytes(doc.txtText), QByteArray("N10 G0\r\n"));
        EXPECT_FALSE(doc.txtText->ReadOnly());
    }
}

TEST(FileOpen, ReloadAfterHexDumpShowsTheTextAgain)
{
    TempEnv env;
    const QString path = env.write("O2.NC", "N10 G0 X1\r\n");
    frmDocument doc;
    doc.FileOpen(path);
    ASSERT_TRUE(doc.HexDump(3));
    ASSERT_TRUE(untilLongWorkIsOver());
    EXPECT_TRUE(doc.bHexView);
    doc.FileOpen(path);
    EXPECT_FALSE(doc.bHexView);
    EXPECT_FALSE(doc.bReadOnly);
    EXPECT_EQ(bufferBytes(doc.txtText), QByteArray("N10 G0 X1\r\n"));
}

TEST(FileOpen, Asc2hexAndFixChOfTheWindow)
{
    frmDocument doc;
    EXPECT_EQ(doc.FixCh(9), ".");
    EXPECT_EQ(doc.FixCh(233), QString(QChar(233)));
    const QByteArray bytes("\x80\x9F\xE9 (\xC5)", 7);
    QString hex;
    doc.Asc2hex(bytes, 3, [&](const QString &h) { hex = h; });
    ASSERT_TRUE(untilLongWorkIsOver());
    EXPECT_TRUE(hex.startsWith("00000 | 80 9F E9 20 28 C5 29 "));
    // One character per byte: the text goes back to the same bytes.
    EXPECT_EQ(hex.toLatin1(), hexRender(bytes, 3));
    QString none = "-";
    doc.Asc2hex("", 3, [&](const QString &h) { none = h; });
    ASSERT_TRUE(untilLongWorkIsOver());
    EXPECT_EQ(none, "");
}

TEST(FileOpen, ForceFileStampFollowsTheFile)
{
    TempEnv env;
    const QString path = env.write("O3.NC", "A\r\n");
    frmDocument doc;
    doc.FileOpen(path);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    const QDateTime later = QDateTime::currentDateTime().addSecs(60);
    ASSERT_TRUE(f.setFileTime(later, QFileDevice::FileModificationTime));
    f.close();
    EXPECT_NE(doc.fileStamp, QFileInfo(path).lastModified());
    doc.ForceFileStamp();
    EXPECT_EQ(doc.fileStamp, QFileInfo(path).lastModified());
    doc.setCaption(env.path("gone.NC"));
    doc.ForceFileStamp();
    EXPECT_FALSE(doc.fileStamp.isValid());
}

TEST(FileOpen, SetFileFormatSetsTheGlobalType)
{
    TempEnv env;
    ActiveScope active;
    QString reported;
    setErrorBoxHook([&](const QString &text) { reported = text; return true; });
    test::activeNow().setTextType(1);
    EXPECT_TRUE(RkSetFileFormat(env.write("lf.nc", "A\nB\n")));
    EXPECT_EQ(test::activeNow().textType(), 2);
    env.write("crlf.nc", "A\r\n");
    EXPECT_TRUE(RkSetFileFormat("[exedir]/crlf.nc")); // path tokens expanded
    EXPECT_EQ(test::activeNow().textType(), 1);
    EXPECT_TRUE(reported.isEmpty());
    MsgBoxRecorder boxes;
    EXPECT_FALSE(RkSetFileFormat(env.path("none.nc"))); // told by name, type kept
    EXPECT_TRUE(reported.isEmpty());
    EXPECT_TRUE(boxes.saw("none.nc"));
    EXPECT_EQ(test::activeNow().textType(), 1);
    setErrorBoxHook({});
}

TEST(FileOpen, AutomaticColouringTakesTheFirst1000Lines)
{
    TempEnv env;
    QFile::copy(QStringLiteral(LUMRIK_SOURCE_DIR "/resources/data/install/fanuc.syn"), env.path("fanuc.syn"));
    QByteArray text;
    for (int i = 1; i <= 1500; ++i)
        text += "N" + QByteArray::number(i) + " G1 X1.\r\n";
    const QString path = env.write("LONG.NC", text);

    // The switch is looked for among the top-level windows when no main
    // window is registered.
    DocumentHost *host = documentHost();
    setDocumentHost(nullptr);
    QWidget mainWindow;
    auto *autoColour = new QAction(&mainWindow);
    autoColour->setObjectName("mnuViewAutoColorNC");
    autoColour->setCheckable(true);
    autoColour->setChecked(true);
    ASSERT_TRUE(autoColorOnOpen());

    frmDocument doc;
    doc.sMaskin = "DEMO";
    doc.txtText->setForeColor(Qt::black);
    doc.FileOpen(path);
    ASSERT_TRUE(test::untilLongWorkIsOver());
    const QColor plain = doc.txtText->ForeColor();
    EXPECT_NE(doc.txtText->characterForeColorAt(1, 1), plain);
    EXPECT_NE(doc.txtText->characterForeColorAt(1000, 1), plain);
    EXPECT_EQ(doc.txtText->characterForeColorAt(1001, 1), plain);
    EXPECT_FALSE(doc.txtText->IsDirty());
    EXPECT_EQ(doc.txtText->CaretY(), 1);

    autoColour->setChecked(false);
    frmDocument off;
    off.FileOpen(path);
    ASSERT_TRUE(test::untilLongWorkIsOver());
    EXPECT_EQ(off.txtText->characterForeColorAt(1, 1), off.txtText->ForeColor());
    setDocumentHost(host);
}
