#include "core/errors.h"
#include "core/atomicfile.h"
#include "core/filenames.h"
#include "core/codepage.h"
#include "core/globals.h"
#include "modaldialog.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace lumrik;
using namespace lumrik::test;

namespace {
QStringList traceNames()
{
    QStringList out;
    for (const auto &s : RkTraceSlots())
        out << s.name;
    return out;
}
}

TEST(Trace, KeepsTheEightNewestAndFoldsRepeats)
{
    RkTraceReset();
    RkTraceProc("A()");
    RkTraceProc("A()");
    EXPECT_EQ(RkTraceCount(), 1);
    RkTraceProc("B()");
    RkTraceProc("A()");
    EXPECT_EQ(traceNames().mid(0, 3), (QStringList{"A()", "B()", "A()"}));
    RkTraceReset();
    for (int i = 1; i <= 9; ++i)
        RkTraceProc(QStringLiteral("P%1()").arg(i));
    EXPECT_EQ(RkTraceCount(), 8);
    EXPECT_EQ(traceNames().first(), "P9()");
    EXPECT_EQ(traceNames().last(), "P2()");
}

TEST(ErrorReport, TextListsTraceNewestFirstWithEmptySlots)
{
    RkTraceReset();
    for (int i = 1; i <= 5; ++i)
        RkTraceProc(QStringLiteral("P%1()").arg(i));
    const QString text = RkErrorText(53, "Filen hittades inte");
    const QStringList lines = text.split("\r\n");
    ASSERT_EQ(lines.size(), 16);
    EXPECT_EQ(lines[0], "Ett fel uppstod.");
    EXPECT_EQ(lines[1], "Beskrivning: Filen hittades inte");
    EXPECT_EQ(lines[2], "Felnummer: 53");
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "Information:");
    EXPECT_TRUE(lines[5].endsWith(" - P5()"));
    EXPECT_TRUE(lines[9].endsWith(" - P1()"));
    EXPECT_EQ(lines[10], "00:00:00 - ");
    EXPECT_EQ(lines[12], "00:00:00 - ");
    EXPECT_EQ(lines[13], "");
    EXPECT_TRUE(lines[14].startsWith("Om detta fel"));
    EXPECT_TRUE(lines[15].startsWith("(Klicka på Avbryt"));
}

TEST(ErrorReport, TraceTimesAreSwedishWhateverTheLocale)
{
    const QLocale old;
    for (const QLocale &locale : {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates),
                                  QLocale(QLocale::German, QLocale::Germany)}) {
        QLocale::setDefault(locale);
        RkTraceReset();
        const QDateTime before = QDateTime::currentDateTime();
        RkTraceProc(QStringLiteral("Proc()"));
        const QStringList lines = RkErrorText(5, "x").split("\r\n");
        ASSERT_GT(lines.size(), 6);
        static const QRegularExpression form(QStringLiteral("^(\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}) - Proc\\(\\)$"));
        const QRegularExpressionMatch m = form.match(lines[5]);
        ASSERT_TRUE(m.hasMatch()) << lines[5].toStdString() << " / " << locale.name().toStdString();
        const QDateTime logged = QDateTime::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        EXPECT_LE(qAbs(logged.secsTo(before)), 2) << lines[5].toStdString();
        EXPECT_EQ(lines[6], "00:00:00 - ");
    }
    QLocale::setDefault(old);
}

TEST(ErrorReport, OkLogsAndCarriesOnCancelEndsWithoutLog)
{
    TempEnv env;
    QString shown;
    setErrorBoxHook([&](const QString &t) {
        shown = t;
        return true;
    });
    const int r = RkGuard("Failing()", []() -> int { throw RkError(13, "Typmatchningsfel"); });
    EXPECT_EQ(r, 0);
    EXPECT_TRUE(shown.contains("Beskrivning: Typmatchningsfel"));
    const QByteArray log = readFile(env.path("error.log"));
    EXPECT_TRUE(log.startsWith("Ett fel uppstod.\r\n"));
    // A new log holding only what Windows-1252 can write is written in it.
    EXPECT_TRUE(log.endsWith("st\xe4ngas av).\r\n"));

    bool ended = false;
    setErrorBoxHook([](const QString &) { return false; });
    setErrorExitHook([&] { ended = true; });
    RkShowError(5, "x");
    EXPECT_TRUE(ended);
    EXPECT_EQ(readFile(env.path("error.log")), log);
    setErrorBoxHook({});
    setErrorExitHook({});
}

TEST(ErrorReport, LogKeepsTheEncodingRuleOfTheSettingsFiles)
{
    setErrorBoxHook([](const QString &) { return true; });
    {
        // A character Windows-1252 lacks: a log with no bytes above 127 so far
        // becomes UTF-8, and stays UTF-8 for a later entry.
        TempEnv env;
        env.write("error.log", "\r\n");
        RkShowError(53, QString::fromUtf8("Filen \"Łódź.nc\" hittades inte"));
        RkShowError(53, QString::fromUtf8("Filen \"å.nc\" hittades inte"));
        const QByteArray log = readFile(env.path("error.log"));
        EXPECT_TRUE(isValidUtf8(log));
        EXPECT_TRUE(log.contains(QString::fromUtf8("\"Łódź.nc\"").toUtf8()));
        EXPECT_TRUE(log.contains(QString::fromUtf8("\"å.nc\"").toUtf8()));
        EXPECT_FALSE(log.contains('?'));
    }
    {
        // A log already in Windows-1252 stays so: one file, one encoding.
        TempEnv env;
        env.write("error.log", "F\xe4l\r\n");
        RkShowError(53, QString::fromUtf8("Łódź"));
        const QByteArray log = readFile(env.path("error.log"));
        EXPECT_TRUE(log.contains("?\xf3" "d?"));
        EXPECT_TRUE(log.startsWith("F\xe4l\r\nEtt fel uppstod."));
    }
    setErrorBoxHook({});
}

TEST(ErrorReport, NoPendingErrorAppendsAnEmptyLine)
{
    TempEnv env;
    bool shown = false;
    setErrorBoxHook([&](const QString &) { return shown = true; });
    RkShowError();
    setErrorBoxHook({});
    EXPECT_FALSE(shown);
    EXPECT_EQ(readFile(env.path("error.log")), QByteArray("\r\n"));
}

namespace {
// Runs one real error report and answers it with `answer` once it is up;
// true when the program would have ended.
bool reportEnds(const std::function<void(QMessageBox *)> &answer)
{
    bool ended = false;
    setErrorExitHook([&] { ended = true; });
    test::whenModalShown<QMessageBox>(answer);
    RkShowError(kErrFileNotFound, "Filen hittades inte");
    setErrorExitHook({});
    return ended;
}
}

TEST(ErrorReport, EscAndTheCloseBoxMeanOkOnlyAvbrytEnds)
{
    TempEnv env;
    ASSERT_FALSE(hasMsgBoxHook());
    // Esc: OK, the report is logged and the program goes on.
    EXPECT_FALSE(reportEnds([](QMessageBox *b) { QTest::keyClick(b, Qt::Key_Escape); }));
    EXPECT_TRUE(readFile(env.path("error.log")).startsWith("Ett fel uppstod."));
    // The window's close box.
    EXPECT_FALSE(reportEnds([](QMessageBox *b) { b->close(); }));
    // Enter takes the default button, OK.
    EXPECT_FALSE(reportEnds([](QMessageBox *b) { QTest::keyClick(b, Qt::Key_Return); }));
    // Only "Avbryt" ends the program.
    EXPECT_TRUE(reportEnds([](QMessageBox *b) {
        for (QAbstractButton *btn : b->buttons())
            if (btn->text() == "Avbryt")
                btn->click();
    }));
    EXPECT_EQ(readFile(env.path("error.log")).count("Ett fel uppstod."), 3);
}

// A failed file operation is told in Swedish, never in the system's English.
TEST(ErrorReport, FileFailuresAreToldInSwedish)
{
    TempEnv env;
    QFile missing(env.path("finns-inte/O1.NC"));
    EXPECT_FALSE(missing.open(QIODevice::ReadOnly));
    EXPECT_EQ(RkFileErrorText(missing), "Filen eller mappen finns inte");
    QFile folder(env.dataPath());
    EXPECT_FALSE(folder.open(QIODevice::WriteOnly));
    EXPECT_EQ(RkFileErrorText(folder), "Det är en mapp");
}

// Failures of the user's files and values are no program faults: a plain box
// tells them, and the report with its "Avbryt" is not shown.
TEST(ErrorReport, ExpectedConditionsAreToldPlainly)
{
    TempEnv env;
    MsgBoxRecorder boxes;
    int reports = 0;
    setErrorBoxHook([&](const QString &) { return ++reports, true; });
    for (long n : {long(kErrFileNotFound), long(kErrPathNotFound), long(kErrPermissionDenied), long(kErrDiskFull),
                   long(kErrIo)})
        RkGuard("open()", [&] { throw RkExpected(n, QStringLiteral("/nc/O1.NC: orsak %1").arg(n)); });
    RkGuard("value()", [] { throw RkExpected(kErrTypeMismatch, QStringLiteral("Felaktigt värde \"300\"")); });
    EXPECT_EQ(reports, 0);
    ASSERT_EQ(boxes.calls().size(), 6u);
    EXPECT_EQ(boxes.calls()[0].text, "/nc/O1.NC: orsak 53");
    EXPECT_EQ(boxes.calls()[5].buttons, MbButtons::Ok);
    EXPECT_FALSE(QFileInfo::exists(env.path("error.log")));
    // A fault of the program is still reported, whatever its number.
    RkGuard("fault()", [] { throw RkError(kErrSubscript, QStringLiteral("Index utanför intervallet")); });
    EXPECT_EQ(reports, 1);
    RkGuard("fault()", [] { throw RkError(kErrIo, QStringLiteral("Ett fel i programmet")); });
    EXPECT_EQ(reports, 2);
    EXPECT_EQ(boxes.calls().size(), 6u);
    setErrorBoxHook({});
}

// What the file routines throw when the folder or the file is the obstacle is
// an expected condition, told plainly.
TEST(ErrorReport, FileRoutinesThrowExpectedConditions)
{
    TempEnv env;
    env.write("FIL", "N1\r\n");
    const auto thrown = [](const std::function<void()> &body) -> long {
        try {
            body();
        } catch (const RkError &e) {
            return RkIsExpectedError(e) ? e.number() : -e.number();
        }
        return 0;
    };
    EXPECT_EQ(thrown([&] { writeFileAtomic(env.path("saknas/O1.NC"), "N1"); }), kErrPathNotFound);
    EXPECT_EQ(thrown([&] { writeFileAtomic(env.path("FIL/O1.NC"), "N1"); }), kErrIo);
    // A name whose bytes are not UTF-8 takes the same way.
    const QString kept = RkDecodeName(QFile::encodeName(env.path("saknas")) + "/O1\xD6.NC");
    EXPECT_EQ(thrown([&] { writeFileAtomic(kept, "N1"); }), kErrPathNotFound);
}

TEST(ErrorReport, AvbrytLetsTheChangedDocumentsBeSavedFirst)
{
    TempEnv env;
    std::vector<QString> order;
    setErrorBoxHook([](const QString &) { return false; });
    setErrorExitHook([&] { order.push_back("exit"); });
    setForcedExitPrompt([&] {
        order.push_back("prompt");
        // A report while the documents are offered does not end the program there.
        RkShowError(kErrIo, QStringLiteral("under sparandet"));
        order.push_back("prompt done");
    });
    RkShowError(kErrSubscript, QStringLiteral("fel"));
    EXPECT_EQ(order, (std::vector<QString>{"prompt", "prompt done", "exit"}));
    setForcedExitPrompt({});
    setErrorExitHook({});
    setErrorBoxHook({});
}

// A file name is shown as it is: never read as markup.
TEST(MessageBox, TextIsPlainWhateverItHolds)
{
    ASSERT_FALSE(hasMsgBoxHook());
    const QString text = QStringLiteral("Filen \"/tmp/<h1>BIG <i>text<hr>.nc\" kan inte öppnas.");
    Qt::TextFormat format = Qt::AutoText;
    QString shown;
    test::whenModalShown<QMessageBox>([&](QMessageBox *box) {
        format = box->textFormat();
        shown = box->text();
        box->accept();
    });
    RkMsgBoxWindow(MsgBoxCall{text, "Lumrik-32", MbButtons::Ok, MbIcon::Exclamation, 0});
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(shown, text);
}

TEST(MessageBox, NamesKeptAsTheirBytesShowAsTheirCharacters)
{
    // "a\b.nc" and "X\xD6.NC" on disk: the box names them as the caption does.
    const QString path = RkDecodeName(QByteArray("/tmp/a\\b X\xD6.nc"));
    ASSERT_TRUE(RkHasKeptBytes(path));
    QString shown;
    test::whenModalShown<QMessageBox>([&](QMessageBox *box) {
        shown = box->text();
        box->accept();
    });
    RkMsgBoxWindow(MsgBoxCall{path + " har ändrats", "Lumrik-32", MbButtons::Ok, MbIcon::Exclamation, 0});
    EXPECT_EQ(shown, QString::fromUtf8("/tmp/a\\b XÖ.nc har ändrats"));
}
