// The everyday path through the real window at its real size: where new
// documents appear, what the menu keys do while an editor has the focus, the
// highlighted menu item, the machine selector, and Qt's own dialogs in Swedish.
#include "core/globals.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "mainwindow/arrange.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/translations.h"
#include "mainwindowfixture.h"
#include "modaldialog.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <gtest/gtest.h>

#include <cmath>

using namespace lumrik;

namespace {

const QByteArray kProgram = "%\r\nO1000 (PLAN)\r\nN10 G17 G0 X0\r\nN20 M30\r\n%\r\n";

class MainRoadTest : public test::MainWindowFixture {
protected:
    MainRoadTest() { settleDeletes = true; }
    void TearDown() override
    {
        MainWindowFixture::TearDown();
        fileSelectorHooks() = {};
    }
    // The window as a user has it: shown, active, at a real size.
    static void showActive(frmMain &w, QSize size = {1000, 700})
    {
        w.resize(size);
        w.show();
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    }
    static bool inEditor(frmDocument *d, QWidget *f)
    {
        return d && f && (f == d->txtText || d->txtText->isAncestorOf(f));
    }
    static void closeAll(frmMain &w)
    {
        for (frmDocument *d : w.documents())
            d->txtText->setIsDirty(false);
        w.mnuFileCloseAll_Click();
    }
};

// Opens documents in the ways a user does: File > New, File > Open, the
// command line and a drop.
void openFourWays(frmMain &w, const QString &a, const QString &b, const QString &c)
{
    w.mnuFileNew_Click();
    fileSelectorHooks().choose = [a](QWidget *, const QString &, const QString &, QString &p, QString &f,
                                     QString &m) {
        p = a.left(a.lastIndexOf('/') + 1);
        f = a.mid(a.lastIndexOf('/') + 1);
        m = QStringLiteral("MILL");
    };
    w.mnuFileOpen_Click();
    w.openCommandLine(b);
    w.dropFiles({c});
}

TEST_F(MainRoadTest, DocumentsOpenAtAUsableSizeUnderEveryArrangement)
{
    const QString a = env.write("ncprog/O1000.NC", kProgram);
    const QString b = env.write("ncprog/O2000.NC", kProgram);
    const QString c = env.write("ncprog/O3000.NC", kProgram);
    for (int arrangement : {0, 1, 2}) {
        SCOPED_TRACE(arrangement);
        test::SessionScope::set(&SettingValues::defaultTile, QString::number(arrangement));
        frmMain w;
        showActive(w);
        openFourWays(w, a, b, c);
        const auto subs = w.mdiArea->subWindowList(QMdiArea::CreationOrder);
        ASSERT_EQ(subs.size(), 4);
        const QRect area(QPoint(0, 0), w.mdiArea->viewport()->size());
        ASSERT_GT(area.width(), 800);
        for (QMdiSubWindow *s : subs) {
            EXPECT_TRUE(area.contains(s->geometry())) << s->geometry().x() << "," << s->geometry().y();
            EXPECT_GT(s->widget()->height(), 100);
        }
        if (arrangement == 0) {
            // Cascade: one step right and down from the previous one, each
            // covering most of the area, the newest on top.
            const int step = subs[1]->x() - subs[0]->x();
            EXPECT_GT(step, 10);
            for (int i = 0; i < subs.size(); ++i) {
                EXPECT_EQ(subs[i]->pos(), subs[0]->pos() + QPoint(i * step, i * step));
                EXPECT_EQ(subs[i]->size(), subs[0]->size());
                EXPECT_GE(subs[i]->width(), area.width() * 3 / 4);
                EXPECT_GE(subs[i]->height(), area.height() * 3 / 4);
            }
            EXPECT_EQ(w.mdiArea->subWindowList(QMdiArea::StackingOrder).last(), subs.last());
        } else {
            // Tiles: the whole width (or height) each, the other side shared.
            int shared = 0;
            for (QMdiSubWindow *s : subs) {
                EXPECT_EQ(arrangement == 1 ? s->width() : s->height(),
                          arrangement == 1 ? area.width() : area.height());
                shared += arrangement == 1 ? s->height() : s->width();
            }
            EXPECT_EQ(shared, arrangement == 1 ? area.height() : area.width());
        }
        // The newest document has the focus in its editor, and the status bar
        // shows it before any key is pressed.
        frmDocument *d = w.activeDocument();
        ASSERT_TRUE(d);
        EXPECT_EQ(d->caption(), c);
        EXPECT_TRUE(inEditor(d, QApplication::focusWidget()));
        EXPECT_EQ(w.statusPanel(3), QStringLiteral("Rad 1 : Kol 1"));
        EXPECT_TRUE(w.statusPanel(4).startsWith(QStringLiteral("Totalt : 6 Rader"))) << w.statusPanel(4).toStdString();
        closeAll(w);
    }
}

TEST_F(MainRoadTest, EveryMenuKeyRunsItsMenuCommandWhileTheEditorHasTheFocus)
{
    const QString path = env.write("ncprog/O1000.NC", kProgram);
    frmMain w;
    showActive(w);
    w.openCommandLine(path);
    frmDocument *d = w.activeDocument();
    ASSERT_TRUE(d);
    // A selection and an unsaved change: every command of a key is available.
    w.mnuEditMarkAll_Click();
    d->txtText->setIsDirty(true);
    QWidget *editor = QApplication::focusWidget();
    ASSERT_TRUE(inEditor(d, editor));

    // Each command only notes that it ran, so that no dialog opens.
    QStringList ran;
    QHash<QAction *, QString> keyed;
    QList<QKeySequence> others; // keys of the window's other actions (the sub-windows' own menus)
    for (QAction *a : w.findChildren<QAction *>()) {
        if (a->shortcut().isEmpty() || a->shortcutContext() == Qt::WidgetShortcut)
            continue;
        const QString command = a->property("command").toString();
        if (command.isEmpty()) {
            others << a->shortcuts();
            continue;
        }
        keyed.insert(a, command);
        w.setCommand(command, [&ran, command] { ran << command; });
    }
    // No other action competes for a menu's key (Ctrl+W closes no document).
    for (QAction *a : keyed.keys())
        EXPECT_FALSE(others.contains(a->shortcut())) << a->shortcut().toString().toStdString();
    // The keys of the File, Edit, View, Communication and Window menus.
    EXPECT_EQ(keyed.size(), 17);
    const QByteArray before = d->txtText->TextAll();
    for (auto it = keyed.cbegin(); it != keyed.cend(); ++it) {
        const QKeyCombination key = it.key()->shortcut()[0];
        const std::string name = it.key()->shortcut().toString().toStdString();
        ASSERT_TRUE(it.key()->isEnabled()) << name;
        ran.clear();
        editor->setFocus();
        QTest::keyClick(editor, key.key(), key.keyboardModifiers());
        EXPECT_EQ(ran, QStringList{it.value()}) << name;
    }
    // No key did anything of the editor's own on the side.
    EXPECT_EQ(d->txtText->TextAll(), before);
    d->txtText->setIsDirty(false);
}

TEST_F(MainRoadTest, EditKeysInTheEditorDoWhatTheEditMenuDoes)
{
    const QString path = env.write("ncprog/O1000.NC", "G17\r\n");
    frmMain w;
    showActive(w);
    w.openCommandLine(path);
    frmDocument *d = w.activeDocument();
    ASSERT_TRUE(d);
    QWidget *editor = QApplication::focusWidget();
    ASSERT_TRUE(inEditor(d, editor));
    auto line1 = [d] {
        d->txtText->setTextIndex(1);
        return d->txtText->Text();
    };
    // Ctrl+A marks everything, as "Markera allt" does (Ta bort becomes possible).
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(w.menuAction("mnuEditDelete")->isEnabled());
    // Ctrl+D is "Ta bort": the selection goes; it is not doubled.
    QTest::keyClick(editor, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(line1(), "");
    EXPECT_TRUE(d->txtText->IsDirty());
    // Without a selection Ctrl+D does nothing at all.
    QTest::keyClick(editor, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(d->txtText->TextAll(), QByteArray());
    // Ctrl+Z undoes, Ctrl+C with a selection copies, Ctrl+X cuts.
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(line1(), "G17");
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith("G17"));
    QTest::keyClick(editor, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(line1(), "");
    QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(line1(), "G17");
    // Alt with a letter is a menu key or nothing, never a typed letter; Ctrl
    // and Alt together (AltGr) type.
    const QByteArray before = d->txtText->TextAll();
    QTest::keyClick(editor, Qt::Key_Q, Qt::AltModifier);
    EXPECT_EQ(d->txtText->TextAll(), before);
    QTest::keyClick(editor, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(d->txtText->TextAll(), before);
    QTest::keyClick(editor, Qt::Key_At, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(d->txtText->TextAll(), before + "@");
    EXPECT_TRUE(boxes.calls().empty());
    d->txtText->setIsDirty(false);
}

// The relative luminance of a colour and the contrast of two (1 to 21).
double luminance(QColor c)
{
    auto channel = [](double v) {
        v /= 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}
double contrast(QColor a, QColor b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The background of a rectangle of a picture (its commonest colour) and the
// colour that stands out most from it (the text).
std::pair<QColor, QColor> backgroundAndText(const QImage &img, const QRect &r)
{
    QHash<QRgb, int> count;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            ++count[img.pixel(x, y)];
    QRgb back = 0;
    int most = -1;
    for (auto it = count.cbegin(); it != count.cend(); ++it)
        if (it.value() > most) {
            most = it.value();
            back = it.key();
        }
    QColor text = QColor::fromRgb(back);
    for (auto it = count.cbegin(); it != count.cend(); ++it)
        if (contrast(QColor::fromRgb(it.key()), QColor::fromRgb(back)) > contrast(text, QColor::fromRgb(back)))
            text = QColor::fromRgb(it.key());
    return {QColor::fromRgb(back), text};
}

TEST_F(MainRoadTest, TheHighlightedMenuItemIsReadableInEveryMenu)
{
    frmMain w;
    showActive(w);
    w.mnuFileNew_Click();
    // The main window's activation colours the menu bar and its menus.
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&w, &activate);
    for (const char *name : {"mnuFile", "mnuEdit", "mnuView", "mnuNcOptions", "mnuWindow", "mnuHelp"}) {
        SCOPED_TRACE(name);
        QMenu *m = w.menu(name);
        ASSERT_TRUE(m);
        m->popup(w.mapToGlobal(QPoint(20, 20)));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m));
        QList<QAction *> items;
        for (QAction *a : m->actions())
            if (a->isVisible() && a->isEnabled() && !a->isSeparator() && !a->text().isEmpty())
                items << a;
        ASSERT_GE(items.size(), 2);
        m->setActiveAction(items[0]);
        QApplication::processEvents();
        const QImage img = m->grab().toImage();
        const auto [activeBack, activeText] = backgroundAndText(img, m->actionGeometry(items[0]));
        const auto [plainBack, plainText] = backgroundAndText(img, m->actionGeometry(items[1]));
        // The chosen item is marked, and its text reads well on the mark.
        EXPECT_NE(activeBack, plainBack);
        EXPECT_GE(contrast(activeBack, activeText), 3.0)
            << activeBack.name().toStdString() << " " << activeText.name().toStdString();
        EXPECT_GE(contrast(plainBack, plainText), 3.0);
        m->hide();
    }
    closeAll(w);
}

TEST_F(MainRoadTest, TheMachineSelectorStaysVisibleBesideAPluginBand)
{
    frmMain w;
    // The plug-in band is shown, with buttons, at the width of a first start
    // on a small screen.
    w.tbPlugins->setVisible(true);
    for (QAction *a : w.tbPlugins->actions())
        a->setVisible(true);
    showActive(w, {640, 480});
    QApplication::processEvents();
    EXPECT_TRUE(w.comboMaskiner->isVisibleTo(&w));
    const QRect inWindow(w.comboMaskiner->mapTo(&w, QPoint(0, 0)), w.comboMaskiner->size());
    EXPECT_TRUE(w.rect().contains(inWindow));
    EXPECT_GE(w.comboMaskiner->width(), w.comboMaskiner->minimumSizeHint().width());
    EXPECT_EQ(w.comboMaskiner->currentText(), "MILL");
}

TEST_F(MainRoadTest, QtsOwnDialogsSpeakSwedish)
{
    ASSERT_TRUE(installQtTranslations());
    struct Remove {
        ~Remove() { removeQtTranslations(); }
    } remove;
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Save
                         | QDialogButtonBox::Open | QDialogButtonBox::Yes | QDialogButtonBox::No
                         | QDialogButtonBox::Close | QDialogButtonBox::Apply);
    EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), "Avbryt");
    EXPECT_EQ(box.button(QDialogButtonBox::Save)->text(), "Spara");
    EXPECT_EQ(box.button(QDialogButtonBox::Open)->text(), QString::fromUtf8("Öppna"));
    EXPECT_EQ(box.button(QDialogButtonBox::Yes)->text(), "&Ja");
    EXPECT_EQ(box.button(QDialogButtonBox::No)->text(), "&Nej");
    EXPECT_EQ(box.button(QDialogButtonBox::Close)->text(), QString::fromUtf8("Stäng"));
    EXPECT_EQ(box.button(QDialogButtonBox::Apply)->text(), QString::fromUtf8("Verkställ"));

    // The labels of the standard dialogs the program opens.
    auto labels = [](QWidget &dlg) {
        QStringList out;
        for (QLabel *l : dlg.findChildren<QLabel *>())
            out << l->text();
        for (QAbstractButton *b : dlg.findChildren<QAbstractButton *>())
            out << b->text();
        return out.join('|');
    };
    QFileDialog files;
    files.setOption(QFileDialog::DontUseNativeDialog);
    const QString f = labels(files);
    EXPECT_TRUE(f.contains("Leta i:")) << f.toStdString();
    EXPECT_FALSE(f.contains("Look in")) << f.toStdString();
    EXPECT_FALSE(f.contains("Cancel")) << f.toStdString();
    // The folder browser of the machine set-up.
    QFileDialog folders;
    folders.setOption(QFileDialog::DontUseNativeDialog);
    folders.setOption(QFileDialog::ShowDirsOnly);
    folders.setFileMode(QFileDialog::Directory);
    const QString d = labels(folders);
    EXPECT_TRUE(d.contains(QString::fromUtf8("&Välj"))) << d.toStdString();
    EXPECT_FALSE(d.contains("Choose")) << d.toStdString();
    QFontDialog font;
    font.setOption(QFontDialog::DontUseNativeDialog);
    const QString t = labels(font);
    EXPECT_FALSE(t.contains("Font st&yle")) << t.toStdString();
    EXPECT_FALSE(t.contains("Cancel")) << t.toStdString();
    QPrinter printer;
    QPrintDialog print(&printer);
    const QString p = labels(print);
    EXPECT_TRUE(p.contains("&Alternativ >>")) << p.toStdString();
    EXPECT_FALSE(p.contains("Options")) << p.toStdString();
    QMessageBox question(QMessageBox::Question, "Lumrik-32", "?", QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(question.button(QMessageBox::Yes)->text(), "&Ja");
}

}

namespace {

TEST_F(MainRoadTest, SaveAsProposesTheUntitledNameAsItIs)
{
    frmMain w;
    showActive(w);
    w.mnuFileNew_Click();
    frmDocument *d = w.activeDocument();
    ASSERT_TRUE(d);
    d->txtText->setTextAll("G17\r\n");
    d->txtText->setIsDirty(true);
    // The real save dialog (Qt's own here): its file name box, then Cancel.
    QString proposed;
    bool up = false;
    test::whenModalShown<QFileDialog>(
        [&](QFileDialog *dlg) {
            for (QLineEdit *e : dlg->findChildren<QLineEdit *>())
                if (e->objectName() == QLatin1String("fileNameEdit"))
                    proposed = e->text();
            dlg->reject();
        },
        &up);
    w.mnuFileSaveAs_Click();
    EXPECT_TRUE(up);
    EXPECT_EQ(proposed, QString::fromUtf8("NAMNLÖS"));
    EXPECT_EQ(d->caption(), QString::fromUtf8("NAMNLÖS"));
    d->txtText->setIsDirty(false);
}

}

namespace {

TEST(Cascade, StepsAndSizes)
{
    const QSize area(1000, 600);
    // One window fills the area; each further one a step deeper, all one size.
    auto r = cascadeRects(area, 1, 25);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0], QRect(0, 0, 1000, 600));
    r = cascadeRects(area, 3, 25);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[2], QRect(50, 50, 950, 550));
    EXPECT_EQ(r[1].topLeft(), QPoint(25, 25));
    // No deeper than a quarter of the smaller side: the next starts at the top again.
    r = cascadeRects(area, 12, 25);
    const int depth = 600 / 4 / 25 + 1;
    for (size_t i = 0; i < r.size(); ++i) {
        EXPECT_EQ(r[i].topLeft(), QPoint(int(i % depth) * 25, int(i % depth) * 25));
        EXPECT_TRUE(QRect(QPoint(0, 0), area).contains(r[i]));
        EXPECT_GE(r[i].height(), 600 * 3 / 4);
    }
    EXPECT_TRUE(cascadeRects(QSize(), 3, 25).empty());
    EXPECT_TRUE(cascadeRects(area, 0, 25).empty());
}

}
