// The file selector reads only the beginning of a program for its comment and
// its preview, and still reads it in the encoding the editor gives the whole
// program: one program, one encoding.
#include "core/codepage.h"
#include "documents/editor.h"
#include "files/filelogic.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace lumrik;
using lumrik::test::TempEnv;

namespace {

// The editor's text of the program at `path` between its first "(" and the
// ")" after it, and its first block, as characters.
struct EditorView {
    TextEncoding encoding;
    QString comment;
    QString firstLines;
};

EditorView editorView(const QString &path)
{
    Editor ed;
    ed.FileLoad(path);
    const QByteArray text = ed.TextAll();
    const qsizetype open = text.indexOf('('), close = text.indexOf(')', open);
    return {ed.encoding(), ed.document().toText(text.mid(open + 1, close - open - 1)).trimmed(),
            ed.document().toText(text.left(40))};
}

}

TEST(SelectorEncoding, CommentAndPreviewReadTheProgramAsTheEditorDoes)
{
    TempEnv env;
    // Plain text enough around the letters for the comment's text test.
    const QByteArray kant = QByteArray(" KANT").repeated(30);
    const QByteArray start = "%\r\nO1 (FR\xC3\x85N \xE2\x80\x93 \xC3\x96VRE" + kant + ")\r\n";
    const QByteArray body = QByteArray("N10 G1 X10 Y20\r\n").repeated(200); // well past the first kilobyte
    struct Case {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"UTF8.NC", start + body + "M30\r\n"},
        {"LATER.NC", start + body + "(\xC5TER)\r\nM30\r\n"},          // one Windows-1252 byte later
        {"MARK.NC", "\xEF\xBB\xBF" + start + body + "(\xC5)\r\n"},     // a mark, and such a byte later
        {"CUTEND.NC", start + body + "\xC3"},                          // cut short at the very end
        {"CP.NC", "%\r\nO1 (FR\xC5N \x96 \xD6VRE" + kant + ")\r\n" + body},       // Windows-1252 from the start
        {"PLAIN.NC", "%\r\nO1 (PLAIN" + kant + ")\r\n" + body + "(\xC3\x85)\r\n"}, // UTF-8 only later
    };
    for (const Case &c : cases) {
        ASSERT_GT(c.bytes.size(), kHeadBytes) << c.name;
        const QString path = env.write(c.name, c.bytes);
        const EditorView editor = editorView(path);
        EXPECT_EQ(GetFirstComment(path), editor.comment) << c.name;
        const QString preview = previewOfFile(path);
        EXPECT_TRUE(preview.startsWith(editor.firstLines.left(preview.size())))
            << c.name << ": " << preview.left(30).toStdString() << " / " << editor.firstLines.toStdString();
        EXPECT_TRUE(preview.contains(editor.comment)) << c.name;
        bool readable = false;
        const std::vector<FolderEntry> listed = RkScanFolder(env.path(""), c.name, "*.*", true, &readable);
        const auto it = std::find_if(listed.begin(), listed.end(),
                                     [&](const FolderEntry &e) { return e.name == QLatin1String(c.name); });
        ASSERT_NE(it, listed.end()) << c.name;
        EXPECT_EQ(it->comment, editor.comment) << c.name;
    }
    // And what they show: «Å» where the whole program is UTF-8, «Ã…» where
    // a byte later makes it Windows-1252.
    EXPECT_EQ(GetFirstComment(env.path("UTF8.NC")), QString::fromUtf8("FRÅN – ÖVRE") + QString::fromLatin1(kant));
    EXPECT_EQ(GetFirstComment(env.path("LATER.NC")),
              fromCp1252("FR\xC3\x85N \xE2\x80\x93 \xC3\x96VRE") + QString::fromLatin1(kant));
}
