// The status display of the active document.
#include "core/globals.h"
#include "documents/frmdocument.h"
#include "documents/statusbar.h"
#include "documenthost_fake.h"
#include "sessionscope.h"

#include <gtest/gtest.h>

using namespace lumrik;
using namespace lumrik::test;

namespace {

struct StatusWords {
    StatusWords()
    {
        test::SessionScope::words([](WordValues &w) {
            w.insert = QStringLiteral("Infoga");
            w.overwrite = QStringLiteral("Översk.");
            w.row = QStringLiteral("Rad ");
            w.col = QStringLiteral("Kol ");
            w.total = QStringLiteral("Totalt : ");
            w.rows = QStringLiteral(" Rader ");
            w.chars = QStringLiteral(" Tecken ");
        });
    }
    ActiveScope active; // the insert mode given back
};

// A text of `lines` lines and exactly `chars` bytes (CR LF line ends).
QByteArray textOf(int lines, int chars)
{
    QByteArray t;
    for (int i = 1; i < lines; ++i) t += "N10 X1\r\n";
    t += QByteArray(chars - t.size(), 'X');
    return t;
}

}

TEST(StatusBar, ShowsModeCaretAndSize)
{
    StatusWords words;
    FakeDocumentHost host;
    frmDocument doc;
    host.active = &doc;
    doc.txtText->setTextAll(textOf(120, 3456));
    doc.txtText->setCaret(5, 12);
    doc.txtText->setIsDirty(false);
    test::activeNow().setInsertMode(true);
    RkUpdateGlobalStatus();
    EXPECT_EQ(host.panels[1], QStringLiteral("Infoga"));
    EXPECT_EQ(host.panels[2], QStringLiteral("Rad 12 : Kol 5"));
    EXPECT_EQ(host.panels[3], QStringLiteral("Totalt : 120 Rader / 3456 Tecken "));
    EXPECT_EQ(doc.panelText(4), QString());
    EXPECT_FALSE(host.saveEnabled);
    EXPECT_EQ(host.panels[0], QString()); // panel 1 is not written

    test::activeNow().setInsertMode(false);
    doc.txtText->setIsDirty(true);
    RkUpdateGlobalStatus();
    EXPECT_EQ(host.panels[1], QStringLiteral("Översk."));
    EXPECT_EQ(doc.panelText(4), QStringLiteral("Ej sparad"));
    EXPECT_TRUE(host.saveEnabled);
}

TEST(StatusBar, EmptyDocumentAndNoDocument)
{
    StatusWords words;
    FakeDocumentHost host;
    {
        frmDocument doc;
        host.active = &doc;
        RkUpdateGlobalStatus();
        EXPECT_EQ(host.panels[2], QStringLiteral("Rad 1 : Kol 1"));
        EXPECT_EQ(host.panels[3], QStringLiteral("Totalt : 1 Rader / 0 Tecken "));
    }
    host.active = nullptr;
    host.panels[0] = QStringLiteral("kvar");
    RkUpdateGlobalStatus();
    EXPECT_EQ(host.panels[0], QStringLiteral("kvar"));
    EXPECT_EQ(host.panels[1], QString());
    EXPECT_EQ(host.panels[2], QString());
    EXPECT_EQ(host.panels[3], QString());
}

TEST(StatusBar, NoHostIsHarmless)
{
    setDocumentHost(nullptr);
    EXPECT_NO_FATAL_FAILURE(RkUpdateGlobalStatus());
}
