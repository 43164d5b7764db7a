// The file selector's logic: comments, preview, name matching, sort values,
// the folder scan, name checks and the numbered backup copies.
#include "core/filenames.h"
#include "files/filelogic.h"
#include "files/foldertree.h"
#include "qtprint.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

using namespace lumrik;
using lumrik::test::TempEnv;
using lumrik::test::writeFile;

TEST(FileComment, FirstParenthesesOfTheProgram)
{
    EXPECT_EQ(commentFromHead("%\r\nO1000 (SHAFT 12)\r\nN10 G0 (OTHER)\r\n"), "SHAFT 12");
    EXPECT_EQ(commentFromHead("O1 (  lower case  )\r\n"), "lower case");
    // A comment may run over lines; the first ")" after the first "(" ends it.
    EXPECT_EQ(commentFromHead("(ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCDEFGH\r\n)"),
              "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCDEFGH\r\n");
    EXPECT_EQ(commentFromHead("N10 G0 X1\r\n"), "");
    EXPECT_EQ(commentFromHead("N10 (NO END\r\n"), "");
    EXPECT_EQ(commentFromHead(") before ("), "");
    // "()" has no plain character: the test cannot be made.
    EXPECT_EQ(commentFromHead("O1 ()"), kCommentError);
    EXPECT_EQ(commentFromHead("O1 (\x01\x02)"), kCommentError);
}

TEST(FileComment, TextTestCountsBytes)
{
    // Four plain letters and one Å: 1/4, rejected; 20 and one: exactly 0.05, rejected; 21 and one accepted.
    EXPECT_EQ(IsTextData("ABCD\xC5"), std::optional<bool>(false));
    EXPECT_EQ(IsTextData(QByteArray(20, 'A') + "\xC5"), std::optional<bool>(false));
    EXPECT_EQ(IsTextData(QByteArray(21, 'A') + "\xC5"), std::optional<bool>(true));
    EXPECT_EQ(IsTextData(""), std::nullopt);
    // 127 is plain, 128..255 and control characters are not.
    EXPECT_EQ(IsTextData("\x7F"), std::optional<bool>(true));
    EXPECT_EQ(IsTextData("\x80"), std::nullopt);
    EXPECT_EQ(commentFromHead("(ABCD\xC5)"), "");
    const QString accepted = commentFromHead("(" + QByteArray(21, 'A') + "\xC5)");
    EXPECT_EQ(accepted, QString(21, 'A') + QChar(0xC5));
}

TEST(FileComment, OnlyTheFirstBytesOfTheFileAreRead)
{
    TempEnv env;
    // ")" beyond the first 1024 bytes: no comment.
    const QString far = env.write("FAR.NC", "O1 (" + QByteArray(1100, 'X') + ")\r\n");
    EXPECT_EQ(GetFirstComment(far), "");
    const QString near = env.write("NEAR.NC", QByteArray(1000, ' ') + "(INSIDE)" + QByteArray(5000, 'Y'));
    EXPECT_EQ(GetFirstComment(near), "INSIDE");
    EXPECT_EQ(GetFirstComment(env.path("MISSING.NC")), kCommentError);
}

TEST(FilePreview, FirstBlockOfTheFile)
{
    // A file of 10 bytes previews as its first 9.
    EXPECT_EQ(previewFromHead("0123456789", 10), "012345678");
    EXPECT_EQ(previewFromHead("", 0), "");
    EXPECT_EQ(previewFromHead("A", 1), "");
    // The last byte is left out; only blanks are trimmed, line ends stay.
    EXPECT_EQ(previewFromHead("%\r\nO1 (X)\r\nN10\r\n", 16), "%\r\nO1 (X)\r\nN10\r");
    EXPECT_EQ(previewFromHead("  \r\n%\nN10  \n", 12), "\r\n%\nN10");
    // Longer than the buffer: the whole buffer.
    const QByteArray big(2000, 'B');
    EXPECT_EQ(previewFromHead(big.first(kHeadBytes), 2000).size(), kHeadBytes);
    // Binary data: from the first CR up to two before the NUL after it.
    const QByteArray bin("ABC\0\rN10 G0\r\n\0X", 15);
    EXPECT_EQ(previewFromHead(bin, bin.size()), "\rN10 G0\r");
    // A NUL and no CR: nothing.
    EXPECT_EQ(previewFromHead(QByteArray("AB\0CD", 5), 5), "");
}

TEST(FileSortValue, LeadingNumberOfTheName)
{
    EXPECT_EQ(RkSortValue("1234.NC"), 1234.0);
    EXPECT_EQ(RkSortValue("O1234.NC"), 0.0);
    EXPECT_EQ(RkSortValue("1E3.NC"), 1000.0);
    EXPECT_EQ(RkSortValue("12D2"), 1200.0);
    EXPECT_EQ(RkSortValue("1E.NC"), 1.0);
    EXPECT_EQ(RkSortValue("-5.NC"), -5.0);
    EXPECT_EQ(RkSortValue(" 1 2\t3.NC"), 123.0);
    EXPECT_EQ(RkSortValue("1.5.2"), 1.5);
    EXPECT_EQ(RkSortValue(".5"), 0.5);
    EXPECT_EQ(RkSortValue(""), 0.0);
    EXPECT_EQ(RkSortValue("900"), 900.0);
    // Beyond the range of a double: no failure, and the order still holds.
    EXPECT_TRUE(std::isinf(RkSortValue("1E999.NC")));
    EXPECT_GT(RkSortValue("1E999.NC"), RkSortValue("99999999.NC"));
    EXPECT_EQ(RkSortValue("1E-999.NC"), 0.0);
    EXPECT_TRUE(std::isinf(RkSortValue("-1E999")) && RkSortValue("-1E999") < 0);
}

TEST(FileMatching, WildcardsWithoutRegardToCase)
{
    EXPECT_TRUE(RkMatchName("o1234.nc", "O12*.NC"));
    EXPECT_TRUE(RkMatchName("NODOT", "*.*"));
    EXPECT_TRUE(RkMatchName("O12", "O12.*"));
    EXPECT_FALSE(RkMatchName("A.NCX", "*.NC"));
    EXPECT_TRUE(RkMatchName("O1X.NC", "O1?.NC"));
    EXPECT_FALSE(RkMatchName("O1.NC", "O1?.NC"));
    EXPECT_TRUE(RkMatchName("a;b.nc", "A;B*"));

    // Search text as name prefix, with the extension filter.
    EXPECT_TRUE(RkMatchesSelection("O1234.NC", "O12", "*.NC"));
    EXPECT_TRUE(RkMatchesSelection("o1234.nc", "O12", "*.NC"));
    EXPECT_FALSE(RkMatchesSelection("O1234.H", "O12", "*.NC"));
    EXPECT_FALSE(RkMatchesSelection("X12.NC", "O12", "*.NC"));
    EXPECT_TRUE(RkMatchesSelection("X12.NC", "", "*.NC"));
    EXPECT_TRUE(RkMatchesSelection("X12.H", "", "*.NC;*.H"));
    EXPECT_TRUE(RkMatchesSelection("ANY", "", ""));
    EXPECT_TRUE(RkMatchesSelection("O12X.NC", "O?2", "*.*"));
    // Never a path: a separator in the search text matches nothing.
    EXPECT_FALSE(RkMatchesSelection("O12.NC", "../O12", "*.*"));
    EXPECT_FALSE(RkMatchesSelection("O12.NC", "sub/O", "*.*"));
}

TEST(FileScan, FilesOfTheFolderWithCommentsAndSizes)
{
    TempEnv env;
    const QString dir = env.path("prog");
    env.write("prog/O1000.NC", "%\r\nO1000 (SHAFT 12)\r\n");
    env.write("prog/o2000.nc", "O2000\r\n");
    env.write("prog/NOTE.TXT", "(TEXT)");
    env.write("prog/.HIDDEN.NC", "(H)");
    QDir(dir).mkpath("SUB.NC");
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir + "/PIPE.NC").constData(), 0600), 0);
    // A file beyond 4 GiB (sparse): its whole size.
    {
        QFile big(dir + "/BIG.NC");
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        ASSERT_TRUE(big.resize(5'000'000'000LL));
    }

    bool readable = false;
    auto entries = RkScanFolder(dir, "", "*.NC", true, &readable);
    EXPECT_TRUE(readable);
    std::sort(entries.begin(), entries.end(), [](auto &a, auto &b) { return a.name < b.name; });
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "BIG.NC");
    EXPECT_EQ(entries[0].size, 5'000'000'000LL);
    EXPECT_EQ(entries[1].name, "O1000.NC");
    EXPECT_EQ(entries[1].comment, "SHAFT 12");
    EXPECT_EQ(entries[1].size, 21);
    EXPECT_GT(entries[1].modifiedMs, 0);
    EXPECT_EQ(entries[2].name, "o2000.nc");

    auto some = RkScanFolder(dir, "O1", "*.NC", false);
    ASSERT_EQ(some.size(), 1u);
    EXPECT_EQ(some[0].name, "O1000.NC");
    EXPECT_TRUE(some[0].comment.isEmpty());

    RkScanFolder(env.path("missing"), "", "*.*", true, &readable);
    EXPECT_FALSE(readable);
}

// One listing serves the file list, the folder tree and the readability
// check: hidden names left out, names kept as their bytes, links followed.
TEST(FileScan, FolderListingSubFoldersAndReadability)
{
    TempEnv env;
    const QString dir = env.path("prog");
    env.write("prog/P1.NC", "N1\r\n");
    env.write("prog/.dold/P2.NC", "N2\r\n");
    env.write("prog/SUB/P3.NC", "N3\r\n");
    const QByteArray raw = QFile::encodeName(dir);
    ASSERT_EQ(::mkdir((raw + "/D\xC5T").constData(), 0755), 0);
    ASSERT_EQ(::symlink("SUB", (raw + "/LNK").constData()), 0);
    ASSERT_EQ(::symlink("P1.NC", (raw + "/FIL").constData()), 0);

    QList<QByteArray> names;
    FolderListing listing(dir);
    ASSERT_TRUE(listing.isOpen());
    EXPECT_GE(listing.fd(), 0);
    while (const dirent *e = listing.next())
        names << QByteArray(e->d_name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (QList<QByteArray>{"D\xC5T", "FIL", "LNK", "P1.NC", "SUB"}));

    EXPECT_EQ(RkSubFolders(dir), (QStringList{RkDecodeName("D\xC5T"), "LNK", "SUB"}));
    EXPECT_TRUE(RkFolderReadable(dir));
    EXPECT_FALSE(RkFolderReadable(dir + "/P1.NC"));
    EXPECT_FALSE(RkFolderReadable(env.path("missing")));
    EXPECT_FALSE(RkFolderReadable(QString()));
    FolderListing missing(env.path("missing"));
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(missing.next(), nullptr);
}

TEST(FileNames, NewNamesAreChecked)
{
    EXPECT_TRUE(RkCheckNewName("O1000.NC").isEmpty());
    EXPECT_TRUE(RkCheckNewName("O1000.").isEmpty());
    // A dot first hides the name from the list for good.
    EXPECT_FALSE(RkCheckNewName("...").isEmpty());
    EXPECT_FALSE(RkCheckNewName(".O2000.NC").isEmpty());
    EXPECT_FALSE(RkCheckNewName("a/b").isEmpty());
    EXPECT_FALSE(RkCheckNewName("..\\b").isEmpty());
    EXPECT_FALSE(RkCheckNewName("/").isEmpty());
    EXPECT_FALSE(RkCheckNewName(".").isEmpty());
    EXPECT_FALSE(RkCheckNewName("..").isEmpty());
    EXPECT_FALSE(RkCheckNewName(QString("a") + QChar(0) + "b").isEmpty());
}

TEST(FileBackups, BaseAndExtension)
{
    QString ext = "KEEP";
    EXPECT_EQ(SplitBaseName("NODOT", ext), "NODOT");
    EXPECT_EQ(ext, "KEEP");
    EXPECT_EQ(SplitBaseName("A.B.001", ext), "A");
    EXPECT_EQ(ext, "B.001");
    EXPECT_TRUE(IsBackupExtension("001"));
    EXPECT_FALSE(IsBackupExtension("1A2"));
    EXPECT_FALSE(IsBackupExtension("0001"));
    EXPECT_FALSE(IsBackupExtension("01"));
}

TEST(FileBackups, NumberedCopiesOfASharedBase)
{
    using L = QStringList;
    EXPECT_EQ(FindBackupNames(L{"P1.NC", "P1.001", "P1.002"}), (L{"P1.001", "P1.002"}));
    EXPECT_EQ(FindBackupNames(L{"P2.001"}), L{});
    EXPECT_EQ(FindBackupNames(L{"P3.NC", "P3.1A2"}), L{});
    EXPECT_EQ(FindBackupNames(L{"P3.NC", "P3.0001"}), L{});
    EXPECT_EQ(FindBackupNames(L{"A.NC", "A.B.001"}), L{});
    // Bases compare exactly: BC is not found inside ABC.
    EXPECT_EQ(FindBackupNames(L{"ABC.NC", "ABC.001", "BC.NC", "BC.001"}), (L{"ABC.001", "BC.001"}));
    // ... and without regard to case.
    EXPECT_EQ(FindBackupNames(L{"p4.nc", "P4.001"}), L{"P4.001"});
    // Never a glob: "Q*" is a base of its own, not a pattern.
    EXPECT_EQ(FindBackupNames(L{"Q*.001", "QA.NC"}), L{});
    EXPECT_EQ(FindBackupNames(L{"Q*.001", "Q*.NC", "QA.NC", "QA.002"}), (L{"Q*.001", "QA.002"}));
    // A name without extension after a backup is not taken for one.
    EXPECT_EQ(FindBackupNames(L{"P5.001", "P5"}), L{"P5.001"});
}

TEST(FileBackups, FolderAndDeletion)
{
    TempEnv env;
    const QString dir = env.path("b");
    env.write("b/P1.NC", "x");
    env.write("b/P1.001", "x");
    env.write("b/P1.002", "x");
    env.write("b/.P1.003", "x");
    QDir(dir).mkpath("P1.004");
    env.write("other/P1.001", "keep");
    const QStringList found = RkListBackupFiles(dir);
    EXPECT_EQ(found, (QStringList{"P1.001", "P1.002"}));

    // A file already gone counts as deleted; a folder stops the run.
    QFile::remove(dir + "/P1.001");
    QString error;
    EXPECT_EQ(RkDeleteFiles(dir, {"P1.001", "P1.002", "P1.004", "P1.NC"}, &error), 2);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(dir + "/P1.002"));
    EXPECT_TRUE(QFile::exists(dir + "/P1.NC"));
    EXPECT_TRUE(QFile::exists(env.path("other/P1.001")));
    // A name with a separator is never followed out of the folder.
    EXPECT_EQ(RkDeleteFiles(dir, {"../other/P1.001"}), 0);
    EXPECT_TRUE(QFile::exists(env.path("other/P1.001")));

    // Names that are not UTF-8 are found and deleted as their bytes.
    const QByteArray raw = QFile::encodeName(dir) + "/Q\xD6";
    for (const char *ext : {".NC", ".001", ".002"}) {
        QFile f;
        ASSERT_TRUE(RkOpenFile(f, RkDecodeName(raw + ext), QIODevice::WriteOnly));
    }
    const QStringList kept = RkListBackupFiles(dir);
    ASSERT_EQ(kept, (QStringList{RkDecodeName("Q\xD6.001"), RkDecodeName("Q\xD6.002")}));
    EXPECT_EQ(RkDeleteFiles(dir, kept), 2);
    EXPECT_FALSE(RkIsFile(RkDecodeName(raw + ".001")));
    EXPECT_TRUE(RkIsFile(RkDecodeName(raw + ".NC")));
}

TEST(FileDates, SwedishShortFormWhateverTheLocale)
{
    const QDateTime t(QDate(2026, 12, 9), QTime(3, 4, 59));
    EXPECT_EQ(FileTimeToText(t, false), "2026-12-09  03:04");
    EXPECT_EQ(FileTimeToText(t, false).size(), 17); // the listing's date column
}

TEST(FileComment, AUtf8ProgramShowsItsCharacters)
{
    const QByteArray kant = QByteArray(" KANT").repeated(5);
    EXPECT_EQ(commentFromHead("\xEF\xBB\xBF%\r\nO1 (FR\xC3\x85N \xC4\xB1" + kant + ")\r\n"),
              QString::fromUtf8("FRÅN ı") + QString::fromLatin1(kant));
    // The text test counts characters: an Å is one, as in Windows-1252.
    const QByteArray twentyOne = "(" + QByteArray(21, 'A') + "\xC3\x85)";
    EXPECT_EQ(commentFromHead(twentyOne), QString(21, QLatin1Char('A')) + QString::fromUtf8("Å"));
    EXPECT_EQ(commentFromHead("(" + QByteArray(20, 'A') + "\xC3\x85)"), "");
    EXPECT_EQ(IsTextData(QString::fromUtf8("AB\xE2\x82\xAC")), std::optional<bool>(true)); // € counts in neither
    // The head of a longer file cut inside a character: still UTF-8.
    const QByteArray head = "(" + QByteArray(41, 'A') + "\xC3\x85) " + QByteArray(1024 - 47, 'N') + "\xC3";
    ASSERT_EQ(head.size(), 1024);
    EXPECT_EQ(commentFromHead(head, false), QString(41, QLatin1Char('A')) + QString::fromUtf8("Å"));
    // A whole file cut there is Windows-1252.
    EXPECT_EQ(commentFromHead(head, true), QString(41, QLatin1Char('A')) + QString::fromUtf8("Ã…"));
    // Windows-1252 bytes as ever.
    EXPECT_EQ(commentFromHead("(FR\xC5N" + kant + ")"), QString::fromUtf8("FRÅN") + QString::fromLatin1(kant));
}

TEST(FilePreview, AUtf8ProgramShowsItsCharacters)
{
    const QByteArray program = "\xEF\xBB\xBF%\r\n(FR\xC3\x85N)\r\n";
    EXPECT_EQ(previewFromHead(program, program.size()), QString::fromUtf8("%\r\n(FRÅN)\r"));
    // The last byte is not shown: a character it belongs to goes whole.
    const QByteArray tail = "(A) \xC3\x85\xC3\x96";
    EXPECT_EQ(previewFromHead(tail, tail.size()), QString::fromUtf8("(A) Å"));
    TempEnv env;
    const QString path = env.path("U.NC");
    ASSERT_TRUE(writeFile(path, "(\xC3\x96VRE" + QByteArray(" KANT").repeated(5) + ") " + QByteArray(2000, 'N') + "\r\n"));
    EXPECT_EQ(GetFirstComment(path), QString::fromUtf8("ÖVRE KANT KANT KANT KANT KANT"));
    EXPECT_TRUE(previewOfFile(path).startsWith(QString::fromUtf8("(ÖVRE")));
}
