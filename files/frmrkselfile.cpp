#include "files/frmrkselfile.h"

#include "core/currentmachine.h"
#include "core/errors.h"
#include "core/filenames.h"
#include "core/fonts.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/language.h"
#include "core/msgbox.h"
#include "core/openedfolder.h"
#include "core/paths.h"
#include "core/progress.h"
#include "core/services.h"
#include "core/settings.h"
#include "dnc/frmtxd2cnc.h"
#include "files/filelogic.h"
#include "files/foldertree.h"
#include "files/frmconfirmbackupdelete.h"
#include "files/printingjobs.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

namespace lumrik {

namespace {

constexpr int kTwipsPerPixel = 15;

// What the list is being sorted by; read by the items' comparison.
enum class SortKind { Text, NameNumber, Size, Time };
SortKind gFileSortKind = SortKind::Text;

// One file of the list: the shown texts plus the values the sorting uses.
class FileItem : public QTreeWidgetItem {
public:
    FileItem(const QStringList &texts, const QString &realName, double nameValue, qint64 size,
             qint64 modifiedMs)
        : QTreeWidgetItem(texts), realName(realName), nameValue(nameValue), size(size),
          modifiedMs(modifiedMs)
    {
        setFlags(flags() | Qt::ItemIsEditable);
    }

    bool operator<(const QTreeWidgetItem &o) const override
    {
        const auto &other = static_cast<const FileItem &>(o);
        switch (gFileSortKind) {
        case SortKind::NameNumber:
            if (nameValue != other.nameValue)
                return nameValue < other.nameValue;
            break;
        case SortKind::Size:
            if (size != other.size)
                return size < other.size;
            break;
        case SortKind::Time:
            if (modifiedMs != other.modifiedMs)
                return modifiedMs < other.modifiedMs;
            break;
        case SortKind::Text: {
            const int col = treeWidget() ? treeWidget()->sortColumn() : 0;
            const int c = text(col).compare(other.text(col));
            if (c != 0)
                return c < 0;
            break;
        }
        }
        // Equal values: by name, so the order does not depend on the folder's order.
        return text(0) < other.text(0);
    }

    QString realName;
    double nameValue;
    qint64 size;
    qint64 modifiedMs;
};

// The label edit of the rename: starts with the real name, all of it selected,
// and hands the typed name over instead of changing the list.
class RenameDelegate : public QStyledItemDelegate {
public:
    RenameDelegate(frmRkSelFile *owner) : QStyledItemDelegate(owner), owner_(owner) {}

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        auto *edit = qobject_cast<QLineEdit *>(editor);
        if (!edit)
            return;
        edit->setText(RkShownName(owner_->fileNameAt(index.row())));
        edit->selectAll();
    }

    void setModelData(QWidget *editor, QAbstractItemModel *, const QModelIndex &) const override
    {
        auto *edit = qobject_cast<QLineEdit *>(editor);
        if (!edit)
            return;
        const QString text = edit->text();
        QPointer<frmRkSelFile> owner(owner_);
        // After the editor has closed: the refresh rebuilds the list.
        QTimer::singleShot(0, owner_, [owner, text] {
            if (owner)
                owner->lstViewFiles_AfterLabelEdit(text);
        });
    }

private:
    frmRkSelFile *owner_;
};

QPointer<frmRkSelFile> gSelFile;

bool samePath(const QString &a, const QString &b)
{
    return cleanFolderPath(a) == cleanFolderPath(b);
}

}

frmRkSelFile *rkSelFile(Session &session, QWidget *owner)
{
    if (!gSelFile)
        gSelFile = new frmRkSelFile(session, owner);
    return gSelFile;
}

bool rkSelFileVisible()
{
    return gSelFile && gSelFile->isVisible();
}

frmRkSelFile::frmRkSelFile(Session &session, QWidget *owner) : QDialog(owner), session_(session)
{
    setObjectName("frmRkSelFile");
    setTag(this, 620);
    setWindowTitle("Välj önskat NcProgram");
    setModal(true);
    setSizeGripEnabled(true);
    inputBox = [this](const QString &prompt, const QString &title) {
        return QInputDialog::getText(this, title, prompt);
    };
    folderBrowser = [this](const QString &prompt, const QString &initial) {
        return RkBrowseFolderTree(this, prompt, ExpandExePath(initial));
    };
    buildControls();
    buildMenus();
    Form_Load();
    // A shown folder that goes away while the window is up is told at once.
    folderCheck_.setInterval(1000);
    connect(&folderCheck_, &QTimer::timeout, this, [this] { checkShownFolder(); });
}

bool frmRkSelFile::checkShownFolder()
{
    if (telling_)
        return false;
    const QString root = FoTrVi->RootFolder();
    const bool rootGone = !homeFallback_ && !root.isEmpty() && !RkFolderReadable(root);
    const QString gone = rootGone ? root : (!sCurrentPath.isEmpty() && !RkFolderReadable(sCurrentPath) ? sCurrentPath : QString());
    if (gone.isEmpty())
        return true;
    // Nothing of another folder stands in for it: the list is emptied and
    // the user chooses where to go.
    if (rootGone)
        FoTrVi->clearTree();
    sCurrentPath.clear();
    sCurrentFile.clear();
    lstViewFiles->clear();
    txtPreView->clear();
    setSelectionCommands(false);
    telling_ = true;
    RkMsgBox(QStringLiteral("Mappen \"%1\" finns inte längre eller kan inte läsas.").arg(RkShownName(cleanFolderPath(gone))),
             MbButtons::Ok, MbIcon::Exclamation, windowTitle(), 0, this);
    telling_ = false;
    return false;
}

frmRkSelFile::~frmRkSelFile()
{
    savePlacement();
}

void frmRkSelFile::buildControls()
{
    cmbMaskiner = new QComboBox(this);
    cmbMaskiner->setObjectName("cmbMaskiner");
    cmbMaskiner->setFont(QFont("Verdana"));
    cmbMaskiner->setEditable(false);

    FoTrVi = new FolderTree(this);
    FoTrVi->setObjectName("FoTrVi");

    lstViewFiles = new QTreeWidget(this);
    lstViewFiles->setObjectName("lstViewFiles");
    lstViewFiles->setRootIsDecorated(false);
    lstViewFiles->setUniformRowHeights(true);
    lstViewFiles->setAllColumnsShowFocus(true);
    lstViewFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstViewFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstViewFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstViewFiles->setSortingEnabled(false);
    lstViewFiles->setItemDelegateForColumn(0, new RenameDelegate(this));
    lstViewFiles->setContextMenuPolicy(Qt::CustomContextMenu);
    lstViewFiles->header()->setSectionsClickable(true);
    lstViewFiles->header()->setSortIndicatorShown(true);
    lstViewFiles->header()->setStretchLastSection(false);
    lstViewFiles->installEventFilter(this);

    txtPreView = new QPlainTextEdit(this);
    txtPreView->setObjectName("txtPreView");
    QFont mono(RkFixedFontFamily(QStringLiteral("Courier New")));
    txtPreView->setFont(mono);
    txtPreView->setReadOnly(true);
    txtPreView->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtPreView->setFixedHeight(1700 / kTwipsPerPixel);

    auto *left = new QWidget(this);
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(cmbMaskiner);
    leftLayout->addWidget(FoTrVi, 1);
    auto *right = new QWidget(this);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(lstViewFiles, 1);
    rightLayout->addWidget(txtPreView);

    Splitter = new QSplitter(Qt::Horizontal, this);
    Splitter->setObjectName("Splitter");
    Splitter->addWidget(left);
    Splitter->addWidget(right);
    Splitter->setChildrenCollapsible(false);
    Splitter->setStretchFactor(0, 1);
    Splitter->setStretchFactor(1, 3);

    Picture1 = new QWidget(this);
    Picture1->setObjectName("Picture1");
    Label1 = new QLabel("Urval ", Picture1);
    Label1->setObjectName("Label1");
    setTag(Label1, 623);
    txtSearch = new QLineEdit(Picture1);
    txtSearch->setObjectName("txtSearch");
    txtSearch->setMaximumWidth(160);
    cmdShowFiles = new QPushButton("Visa urval", Picture1);
    cmdShowFiles->setObjectName("cmdShowFiles");
    setTag(cmdShowFiles, 621);
    cmdSend = new QPushButton("&Sänd", Picture1);
    cmdSend->setObjectName("cmdSend");
    setTag(cmdSend, 622);
    cmdOpen = new QPushButton("&Öppna", Picture1);
    cmdOpen->setObjectName("cmdOpen");
    setTag(cmdOpen, 50);
    cmdAbort = new QPushButton("&Avbryt", Picture1);
    cmdAbort->setObjectName("cmdAbort");
    setTag(cmdAbort, 10);
    for (QPushButton *b : {cmdShowFiles, cmdSend, cmdOpen, cmdAbort}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    auto *bottom = new QHBoxLayout(Picture1);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->addWidget(Label1);
    bottom->addWidget(txtSearch);
    bottom->addWidget(cmdShowFiles);
    bottom->addStretch();
    bottom->addWidget(cmdSend);
    bottom->addWidget(cmdOpen);
    bottom->addWidget(cmdAbort);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(Splitter, 1);
    layout->addWidget(Picture1);

    connect(cmbMaskiner, &QComboBox::activated, this, [this](int) { cmbMaskiner_Click(); });
    connect(FoTrVi, &FolderTree::folderChanged, this, &frmRkSelFile::FoTrVi_FolderClick);
    connect(FoTrVi, &QTreeView::clicked, this, [this] {
        if (!session_.settings().values().showAllFiles)
            txtSearch->setFocus();
    });
    connect(FoTrVi, &FolderTree::contextMenuAt, this, [this](const QPoint &p) { mnuPopup->popup(p); });
    connect(lstViewFiles, &QTreeWidget::itemSelectionChanged, this, &frmRkSelFile::lstViewFiles_ItemClick);
    connect(lstViewFiles, &QTreeWidget::itemDoubleClicked, this, [this] {
        bool found = false;
        GetFirstSelected(found);
        if (found)
            cmdOpen_Click();
    });
    connect(lstViewFiles, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &p) { mnuArkiv->popup(lstViewFiles->viewport()->mapToGlobal(p)); });
    connect(lstViewFiles->header(), &QHeaderView::sectionClicked, this, &frmRkSelFile::lstViewFiles_ColumnClick);
    connect(Splitter, &QSplitter::splitterMoved, this, [this] {
        const QList<int> s = Splitter->sizes();
        const int total = s.value(0) + s.value(1);
        if (total > 0)
            sngSplitRatio = double(s.value(0)) / total;
    });
    connect(txtSearch, &QLineEdit::returnPressed, this, &frmRkSelFile::cmdShowFiles_Click);
    connect(cmdShowFiles, &QPushButton::clicked, this, &frmRkSelFile::cmdShowFiles_Click);
    connect(cmdSend, &QPushButton::clicked, this, &frmRkSelFile::cmdSend_Click);
    connect(cmdOpen, &QPushButton::clicked, this, &frmRkSelFile::cmdOpen_Click);
    connect(cmdAbort, &QPushButton::clicked, this, &frmRkSelFile::cmdAbort_Click);
}

void frmRkSelFile::buildMenus()
{
    menuBar = new QMenuBar(this);
    menuBar->setObjectName("menuBar");
    layout()->setMenuBar(menuBar);

    auto action = [this](QMenu *menu, const char *name, const QString &text, int id,
                         const QKeySequence &key = {}) {
        QAction *a = menu->addAction(text);
        a->setObjectName(name);
        if (id)
            setTag(a, id);
        if (!key.isEmpty()) {
            a->setShortcut(key);
            a->setShortcutContext(Qt::WindowShortcut);
        }
        return a;
    };

    mnuArkiv = menuBar->addMenu("Arkiv");
    mnuArkiv->setObjectName("mnuArkiv");
    setTag(mnuArkiv->menuAction(), 630);
    mnuOpen = action(mnuArkiv, "mnuOpen", "Öppna", 631, QKeySequence("Ctrl+O"));
    mnuRename = action(mnuArkiv, "mnuRename", "Döp Om", 641, QKeySequence(Qt::Key_F2));
    mnuDelete = action(mnuArkiv, "mnuDelete", "&Radera", 632, QKeySequence(Qt::Key_Delete));
    mnuPrint = mnuArkiv->addMenu("&Skriv");
    mnuPrint->setObjectName("mnuPrint");
    setTag(mnuPrint->menuAction(), 633);
    mnuPrintProg = action(mnuPrint, "mnuPrintProg", "Ncprogram", 634);
    mnuPrintFDir = action(mnuPrint, "mnuPrintFDir", "Prog lista", 635);
    // "Ncprogram" follows the selection (setSelectionCommands); "Prog lista" is always there.
    mnuPrintProg->setEnabled(false);
    bar = mnuArkiv->addSeparator();
    bar->setObjectName("bar");
    mnuCleanOld = action(mnuArkiv, "mnuCleanOld", "Städa", 652);
    mnubar2 = mnuArkiv->addSeparator();
    mnubar2->setObjectName("mnubar2");
    mnuClose = action(mnuArkiv, "mnuClose", "&Stäng", 636);

    mnuVisa = menuBar->addMenu("&Visa");
    mnuVisa->setObjectName("mnuVisa");
    setTag(mnuVisa->menuAction(), 637);
    mnuVisaPar = action(mnuVisa, "mnuVisaPar", "&Första parentes ", 638, QKeySequence("Ctrl+P"));
    mnuVisaPar->setCheckable(true);
    mnuVisaFirstBlock = action(mnuVisa, "mnuVisaFirstBlock", "Första &block", 639, QKeySequence("Ctrl+B"));
    mnuVisaFirstBlock->setCheckable(true);
    mnuVisaUppdat = action(mnuVisa, "mnuVisaUppdat", "&Uppdatera", 640, QKeySequence(Qt::Key_F5));
    mnuShowAllFiles = action(mnuVisa, "mnuShowAllFiles", "Visa alla versioner", 653);
    mnuShowAllFiles->setCheckable(true);

    mnuPopup = new QMenu("Popup", this);
    mnuPopup->setObjectName("mnuPopup");
    mnuPopupRoot = action(mnuPopup, "mnuPopupRoot", "Ändra root-nivå", 0, QKeySequence(Qt::Key_F4));
    mnuPopupNewFolder = action(mnuPopup, "mnuPopupNewFolder", "Skapa ny mapp", 0);
    // The tree menu is never in the menu bar; its shortcut works in the whole window.
    addAction(mnuPopupRoot);

    connect(mnuOpen, &QAction::triggered, this, &frmRkSelFile::cmdOpen_Click);
    connect(mnuRename, &QAction::triggered, this, &frmRkSelFile::mnuRename_Click);
    connect(mnuDelete, &QAction::triggered, this, &frmRkSelFile::mnuDelete_Click);
    connect(mnuPrintProg, &QAction::triggered, this, [this] { RkPrintFile(sCurrentPath + sCurrentFile, this); });
    connect(mnuPrintFDir, &QAction::triggered, this, [this] {
        if (!checkShownFolder())
            return;
        // The rows as the list shows them, in its order and columns.
        std::vector<QStringList> rows;
        const int columns = lstViewFiles->columnCount();
        for (int i = 1; i <= lstViewFiles->topLevelItemCount(); ++i) {
            QStringList row;
            for (int c = 0; c < columns; ++c)
                row << GetListItemText(i, c);
            rows.push_back(row);
        }
        PrintFileList(rows, columns >= 4, RkShownName(sCurrentPath), this);
    });
    connect(mnuCleanOld, &QAction::triggered, this, &frmRkSelFile::mnuCleanOld_Click);
    connect(mnuClose, &QAction::triggered, this, &frmRkSelFile::mnuClose_Click);
    connect(mnuVisaPar, &QAction::triggered, this, [this](bool on) {
        bShowComments = on;
        cmdShowFiles_Click();
    });
    connect(mnuVisaFirstBlock, &QAction::triggered, this, [this](bool on) {
        bShowPreview = on;
        txtPreView->setVisible(on);
        if (on)
            ShowPreview();
    });
    connect(mnuVisaUppdat, &QAction::triggered, this, &frmRkSelFile::cmdShowFiles_Click);
    connect(mnuShowAllFiles, &QAction::triggered, this, [this](bool on) {
        bShowAllVersions = on;
        cmdShowFiles_Click();
    });
    connect(mnuPopupRoot, &QAction::triggered, this, &frmRkSelFile::mnuPopupRoot_Click);
    connect(mnuPopupNewFolder, &QAction::triggered, this, &frmRkSelFile::mnuPopupNewFolder_Click);
}

void frmRkSelFile::applyLanguage()
{
    sColFileName = RkText(642, "FILNAMN");
    sColComment = RkText(643, "KOMMENTAR");
    sColChanged = RkText(644, "ÄNDRAD");
    sColSize = RkText(645, "STORLEK");
    if (!gbNotSwedish)
        return;
    SetLanguage(this);
    for (QAction *a : {mnuArkiv->menuAction(), mnuOpen, mnuRename, mnuDelete, mnuPrint->menuAction(),
                       mnuPrintProg, mnuPrintFDir, mnuClose, mnuVisa->menuAction(), mnuVisaPar,
                       mnuVisaFirstBlock, mnuVisaUppdat}) {
        const QString tag = tagOf(a);
        if (!tag.isEmpty())
            a->setText(RkGetLanguage(tag.toInt()));
    }
}

// Once per run, when the window is created.
void frmRkSelFile::Form_Load()
{
    RkGuard("Form_Load()", [&] {
        sngSplitRatio = 0.25;
        applyLanguage();
        cmdSend->show();
        bShowComments = session_.settings().values().scanComment;
        mnuVisaPar->setChecked(bShowComments);
        txtPreView->hide();
        setSelectionCommands(false);
        restorePlacement();
    });
}

void frmRkSelFile::restorePlacement()
{
    const SettingValues stored = session_.settings().values();
    QRect r(placementPixels(stored.fileLeft, kTwipsPerPixel), placementPixels(stored.fileTop, kTwipsPerPixel),
            placementPixels(std::max(stored.fileWidth, 7400), kTwipsPerPixel),
            placementPixels(std::max(stored.fileHeight, 3000), kTwipsPerPixel));
    if (QScreen *s = QGuiApplication::primaryScreen()) {
        const QRect avail = s->availableGeometry();
        r.setWidth(std::min(r.width(), avail.width()));
        r.setHeight(std::min(r.height(), avail.height()));
        // A placement off every screen comes back into view.
        if (!avail.intersects(r) || !avail.contains(r.topLeft()))
            r.moveCenter(avail.center());
    }
    move(r.topLeft());
    resize(r.size());
}

void frmRkSelFile::savePlacement()
{
    IniWriteBatch batch; // one write, one report if it fails
    // Kept as shown, so the next save compares with what is stored now.
    session_.settings().change([this](SettingValues &v) {
        const auto save = [](const char *key, int pixels, int &stored) {
            stored = int(placementTwips(pixels, stored, kTwipsPerPixel));
            SaveIniSetting("Settings", key, QString::number(stored));
        };
        save("FileLeft", x(), v.fileLeft);
        save("FileTop", y(), v.fileTop);
        save("FileWidth", width(), v.fileWidth);
        save("FileHeight", height(), v.fileHeight);
    });
}

void frmRkSelFile::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!splitApplied_) {
        splitApplied_ = true;
        const int w = Splitter->width();
        const int leftW = int(std::lround(w * sngSplitRatio));
        Splitter->setSizes({leftW, std::max(1, w - leftW)});
    }
    Form_Activate();
}

// Every time the window is shown.
void frmRkSelFile::Form_Activate()
{
    RkGuard("Form_Activate()", [&] {
        activating_ = true;
        mnuCleanOld->setText(RkText(652, "Städa"));
        const bool backups = session_.features().values().makeBackup;
        mnuCleanOld->setVisible(backups);
        mnuShowAllFiles->setText(RkText(653, "Visa alla versioner"));
        mnuShowAllFiles->setVisible(backups);
        mnubar2->setVisible(backups);
        if (!backups) {
            bShowAllVersions = false;
            mnuShowAllFiles->setChecked(false);
        }
        // The tree is rooted anew for another machine, at the first showing, and
        // when its root folder has gone away or was missing the last time.
        const bool rootGone = homeFallback_ || !RkFolderReadable(FoTrVi->RootFolder());
        // Machine names match without regard to case, as their files do.
        const QString current = session_.machine().name();
        const bool changed = cmbMaskiner->currentText().compare(current, Qt::CaseInsensitive) != 0;
        bool chosen = false;
        if (changed) {
            FillComboWithFiles(gsDataPath, "cfg", cmbMaskiner);
            int index = cmbMaskiner->findText(current, Qt::MatchFixedString | Qt::MatchCaseSensitive);
            if (index < 0)
                index = cmbMaskiner->findText(current, Qt::MatchFixedString);
            cmbMaskiner->setCurrentIndex(index);
            if (index >= 0) {
                cmbMaskiner_Click(); // roots the tree at the machine's folder
                chosen = true;
            }
        }
        sSelectedFile.clear();
        if (changed || rootGone) {
            const bool rooted = chosen ? !homeFallback_ : rootTree(sRootPath);
            if (rooted && !sPreSelectedPath.isEmpty()) {
                FoTrVi->setSelectedFolder(sPreSelectedPath);
                sLastPath = sPreSelectedPath;
            }
        }
        if (!session_.settings().values().showAllFiles)
            txtSearch->setFocus();
        else
            lstViewFiles->setFocus();
        activating_ = false;
        if (checkShownFolder())
            FillFileList(sCurrentPath, bShowComments, sSearchPattern);
        folderCheck_.start();
        // Every showing starts without a choice: nothing of the last one is
        // opened or sent by mistake.
        sCurrentFile.clear();
        txtPreView->clear();
        setSelectionCommands(false);
    });
    activating_ = false;
}

bool frmRkSelFile::rootTree(const QString &root)
{
    const QString folder = RkNativePath(ExpandExePath(root));
    if (QDir::isAbsolutePath(folder) && RkFolderReadable(folder) && FoTrVi->setRootFolder(folder)) {
        homeFallback_ = false;
        return true;
    }
    // Missing, unreadable, or a path of another system (C:\NCPROG\): no other
    // folder's files stand in for it. The tree offers the home folder.
    homeFallback_ = true;
    FoTrVi->setRootFolder(QDir::homePath(), false);
    sCurrentPath.clear();
    sCurrentFile.clear();
    lstViewFiles->clear();
    txtPreView->clear();
    setSelectionCommands(false);
    RkMsgBox(QStringLiteral("Maskinens programmapp \"%1\" finns inte eller kan inte läsas.\r\n\r\n"
                            "Välj en mapp i trädet, eller ange rätt sökväg under Inställningar CNC.")
                 .arg(RkShownName(root)),
             MbButtons::Ok, MbIcon::Exclamation, windowTitle(), 0, this);
    return false;
}

void frmRkSelFile::hideEvent(QHideEvent *e)
{
    folderCheck_.stop();
    QDialog::hideEvent(e);
    savePlacement();
}

void frmRkSelFile::closeEvent(QCloseEvent *e)
{
    // The close box is Abort; the window stays loaded.
    if (isVisible())
        cmdAbort_Click();
    e->accept();
}

void frmRkSelFile::reject()
{
    // Esc and the close box.
    cmdAbort_Click();
}

bool frmRkSelFile::eventFilter(QObject *watched, QEvent *e)
{
    // Enter on the list itself (not in the rename edit inside it) opens.
    if (watched == lstViewFiles && e->type() == QEvent::KeyPress && focusWidget() == lstViewFiles) {
        auto *k = static_cast<QKeyEvent *>(e);
        if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) && k->modifiers() == Qt::NoModifier) {
            openCurrent();
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}

void frmRkSelFile::cmbMaskiner_Click()
{
    RkGuard("cmbMaskiner_Click()", [&] {
        if (cmbMaskiner->currentText().isEmpty())
            return;
        session_.machine().use(cmbMaskiner->currentText(), machineFile(cmbMaskiner->currentText()));
        sSelectedFile.clear();
        sRootPath = GetDefaultPath("root");
        sPreSelectedPath = GetDefaultPath("send");
        const QString root = ExpandExePath(sRootPath);
        if ((homeFallback_ || !samePath(FoTrVi->RootFolder(), root)) && !rootTree(root))
            return;
        if (!sPreSelectedPath.isEmpty() && !samePath(sLastPath, sPreSelectedPath)) {
            sLastPath = ExpandExePath(sPreSelectedPath);
            FoTrVi->setSelectedFolder(sLastPath);
        }
    });
}

void frmRkSelFile::FoTrVi_FolderClick(const QString &path)
{
    RkGuard("FoTrVi_FolderClick()", [&] {
        sCurrentPath = RkAddBackslash(path);
        if (!checkShownFolder())
            return;
        sCurrentFile.clear();
        txtPreView->clear();
        // The search box is emptied; the last "Visa urval" pattern stays.
        txtSearch->clear();
        if (activating_) {
            // The activation fills the list itself once the tree is settled.
        } else if (session_.settings().values().showAllFiles) {
            FillFileList(sCurrentPath, mnuVisaPar->isChecked(), QString());
        } else {
            lstViewFiles->clear();
        }
        setSelectionCommands(false);
    });
}

QString frmRkSelFile::searchText() const
{
    return txtSearch->text();
}

void frmRkSelFile::cmdShowFiles_Click()
{
    RkGuard("cmdShowFiles_Click()", [&] {
        WaitCursor wait;
        sCurrentFile.clear();
        txtPreView->clear();
        if (!checkShownFolder())
            return;
        sSearchPattern = searchText().isEmpty() ? QString() : searchText() + '*';
        FillFileList(sCurrentPath, bShowComments, sSearchPattern);
        setSelectionCommands(false);
    });
}

void frmRkSelFile::FillFileList(const QString &folder, bool showComments, const QString &pattern)
{
    RkGuard("FillFileList()", [&] {
        WaitCursor wait;
        filling_ = true;
        lstViewFiles->setUpdatesEnabled(false);
        lstViewFiles->clear();
        QStringList titles;
        if (showComments)
            titles = {sColFileName, sColComment, sColChanged, sColSize};
        else
            titles = {sColFileName, sColChanged, sColSize};
        lstViewFiles->setColumnCount(int(titles.size()));
        lstViewFiles->setHeaderLabels(titles);

        const QString filter = bShowAllVersions ? QStringLiteral("*.*") : session_.settings().values().showFileExt;
        const std::vector<FolderEntry> entries = RkScanFolder(folder, pattern, filter, showComments);

        QList<QTreeWidgetItem *> items;
        items.reserve(qsizetype(entries.size()));
        for (const FolderEntry &e : entries) {
            const QString shown = RkShownName(e.name).toUpper();
            QStringList texts;
            texts << shown;
            if (showComments)
                texts << e.comment.toUpper();
            texts << FileTimeToText(e.modifiedMs) << QString::number(e.size);
            items << new FileItem(texts, e.name, RkSortValue(shown), e.size, e.modifiedMs);
        }
        lstViewFiles->addTopLevelItems(items);
        if (!items.isEmpty()) {
            sortOrder_ = Qt::AscendingOrder;
            sortList(0, sortOrder_);
            // Wide enough for both the contents and the title.
            for (int c = 0; c < lstViewFiles->columnCount(); ++c)
                lstViewFiles->resizeColumnToContents(c);
        } else {
            for (int c = 0; c < lstViewFiles->columnCount(); ++c)
                lstViewFiles->setColumnWidth(c, lstViewFiles->header()->sectionSizeHint(c));
        }
        lstViewFiles->setUpdatesEnabled(true);
        filling_ = false;
    });
    filling_ = false;
    lstViewFiles->setUpdatesEnabled(true);
}

void frmRkSelFile::sortList(int column, Qt::SortOrder order)
{
    const QString title = lstViewFiles->headerItem()->text(column);
    if (title == sColSize)
        gFileSortKind = SortKind::Size;
    else if (title == sColFileName && session_.settings().values().numberSort)
        gFileSortKind = SortKind::NameNumber;
    else if (title == sColChanged)
        gFileSortKind = SortKind::Time;
    else
        gFileSortKind = SortKind::Text;
    lstViewFiles->sortItems(column, order);
    lstViewFiles->header()->setSortIndicator(column, order);
    gFileSortKind = SortKind::Text;
}

void frmRkSelFile::lstViewFiles_ColumnClick(int column)
{
    RkGuard("lstViewFiles_ColumnClick()", [&] {
        // Every click reverses the order, whichever column was clicked before.
        sortOrder_ = sortOrder_ == Qt::DescendingOrder ? Qt::AscendingOrder : Qt::DescendingOrder;
        sortList(column, sortOrder_);
    });
}

void frmRkSelFile::setSelectionCommands(bool enabled)
{
    cmdOpen->setEnabled(enabled);
    mnuOpen->setEnabled(enabled);
    mnuDelete->setEnabled(enabled);
    mnuRename->setEnabled(enabled);
    cmdSend->setEnabled(enabled);
    mnuPrintProg->setEnabled(enabled);
}

void frmRkSelFile::lstViewFiles_ItemClick()
{
    if (filling_)
        return;
    RkGuard("lstViewFiles_ItemClick()", [&] {
        bool found = false;
        GetFirstSelected(found);
        if (found) {
            setSelectionCommands(true);
            if (bShowPreview)
                ShowPreview();
        } else {
            setSelectionCommands(false);
        }
    });
}

QString frmRkSelFile::fileNameAt(int row) const
{
    auto *item = dynamic_cast<FileItem *>(lstViewFiles->topLevelItem(row));
    return item ? item->realName : QString();
}

int frmRkSelFile::GetFirstSelected(bool &found)
{
    found = false;
    const int n = lstViewFiles->topLevelItemCount();
    for (int i = 0; i < n; ++i) {
        if (lstViewFiles->topLevelItem(i)->isSelected()) {
            found = true;
            sCurrentFile = fileNameAt(i);
            return i + 1;
        }
    }
    return 0;
}

QString frmRkSelFile::GetListItemText(int index, int column) const
{
    const QTreeWidgetItem *item = lstViewFiles->topLevelItem(index - 1);
    if (!item || column < 0 || column >= lstViewFiles->columnCount())
        return {};
    return TrimAtNull(item->text(column)).left(255);
}

bool frmRkSelFile::IsListItemSelected(int index) const
{
    const QTreeWidgetItem *item = lstViewFiles->topLevelItem(index - 1);
    return item && item->isSelected();
}

void frmRkSelFile::ShowPreview()
{
    RkGuard("ShowPreview()", [&] {
        if (sCurrentFile.isEmpty()) {
            txtPreView->clear();
            return;
        }
        txtPreView->setPlainText(previewOfFile(sCurrentPath + sCurrentFile));
    });
}

// --- Exits ---

void frmRkSelFile::cmdOpen_Click()
{
    sSelectedFile = sCurrentFile;
    sSelectedPath = sCurrentPath;
    sLastPath = sCurrentPath;
    done(QDialog::Accepted);
}

void frmRkSelFile::openCurrent()
{
    const QTreeWidgetItem *item = lstViewFiles->currentItem();
    if (!item)
        return;
    sCurrentFile = fileNameAt(lstViewFiles->indexOfTopLevelItem(const_cast<QTreeWidgetItem *>(item)));
    cmdOpen_Click();
}

void frmRkSelFile::cmdAbort_Click()
{
    sSelectedFile.clear();
    sSelectedPath = sCurrentPath;
    sLastPath = sCurrentPath;
    QDialog::done(QDialog::Rejected);
}

void frmRkSelFile::mnuClose_Click()
{
    QDialog::done(QDialog::Rejected);
}

// --- File operations ---

void frmRkSelFile::mnuRename_Click()
{
    RkGuard("mnuRename_Click()", [&] {
        bool found = false;
        const int index = GetFirstSelected(found);
        if (!found)
            return;
        QTreeWidgetItem *item = lstViewFiles->topLevelItem(index - 1);
        lstViewFiles->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
        lstViewFiles->editItem(item, 0);
    });
}

void frmRkSelFile::selectFileInList(const QString &name)
{
    for (int i = 0; i < lstViewFiles->topLevelItemCount(); ++i)
        if (fileNameAt(i) == name) {
            QTreeWidgetItem *item = lstViewFiles->topLevelItem(i);
            lstViewFiles->setCurrentItem(item);
            lstViewFiles->scrollToItem(item);
            return;
        }
}

void frmRkSelFile::lstViewFiles_AfterLabelEdit(const QString &newText)
{
    RkGuard("lstViewFiles_AfterLabelEdit()", [&] {
        const QString title = QStringLiteral("Fel vid omdöpning");
        QString renamedTo;
        // The edit starts with the name as shown: unchanged, the name on disk stays as it is.
        if (!newText.isEmpty() && !sCurrentFile.isEmpty() && newText != sCurrentFile
            && newText != RkShownName(sCurrentFile)) {
            const QString folder = RkAddBackslash(sCurrentPath);
            const QString source = folder + sCurrentFile;
            const QString refused = RkCheckNewName(newText);
            // Another entry of that name (letter case aside) is never replaced.
            bool taken = false;
            const QStringList entries = QDir(RkNativePath(folder))
                                            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                       | QDir::NoDotAndDotDot);
            for (const QString &e : entries)
                if (e != sCurrentFile && e.compare(newText, Qt::CaseInsensitive) == 0)
                    taken = true;
            const QString failed = QStringLiteral("Något fel uppstod vid omdöpning.");
            if (!refused.isEmpty()) {
                RkMsgBox(failed + QStringLiteral("\n\n") + refused, MbButtons::Ok, MbIcon::Critical, title, 0, this);
            } else if (taken) {
                RkMsgBox(failed
                             + QStringLiteral("\n\nDet finns redan en fil eller mapp med namnet %1. Filen döptes "
                                              "inte om.")
                                   .arg(newText),
                         MbButtons::Ok, MbIcon::Critical, title, 0, this);
            } else if (ShellRenameFile(this, source, folder + newText, QString(), 64) != 0) {
                RkMsgBox(failed, MbButtons::Ok, MbIcon::Critical, title, 0, this);
            } else {
                renamedTo = newText;
            }
        }
        cmdShowFiles_Click();
        if (!renamedTo.isEmpty())
            selectFileInList(renamedTo);
    });
}

void frmRkSelFile::mnuDelete_Click()
{
    RkGuard("mnuDelete_Click()", [&] {
        // Only from the list: Del in the search box deletes characters, not files.
        if (focusWidget() != lstViewFiles)
            return;
        QStringList chosen;
        for (int i = 0; i < lstViewFiles->topLevelItemCount(); ++i)
            if (lstViewFiles->topLevelItem(i)->isSelected())
                chosen << fileNameAt(i);
        if (chosen.isEmpty())
            return;
        const QString question =
            chosen.size() == 1
                ? QStringLiteral("Vill du flytta %1 till papperskorgen?").arg(RkShownName(chosen.first()))
                : QStringLiteral("Vill du flytta de %1 markerade filerna till papperskorgen?").arg(chosen.size());
        // The folder shown, opened before the question: a folder put in its
        // place meanwhile (a link to another one) is never entered.
        const OpenedFolder folder(RkNativePath(sCurrentPath));
        if (RkMsgBox(question, MbButtons::YesNo, MbIcon::Question, QStringLiteral("Radera"), 1, this) != MbYes)
            return;
        QStringList gone;
        for (qsizetype i = chosen.size() - 1; i >= 0; --i) {
            sCurrentFile = chosen[i];
            const int result = ShellDeleteFileIn(folder, sCurrentFile, 64);
            if (result == 2) {
                gone.prepend(RkShownName(sCurrentFile)); // nothing to delete: told below
                continue;
            }
            if (result != 0) {
                RkMsgBox(QStringLiteral("Något fel uppstod vid raderingen.\n\n%1 kunde inte flyttas till "
                                        "papperskorgen (det finns ingen papperskorg för den här mappen, eller "
                                        "filen går inte att flytta). Filen raderades inte.")
                             .arg(RkShownName(sCurrentFile)),
                         MbButtons::Ok, MbIcon::Critical, QStringLiteral("Fel vid radering"), 0, this);
                break;
            }
        }
        if (!gone.isEmpty())
            RkMsgBox(QStringLiteral("Det finns ingen fil att radera med namnet:\n%1\n\nListan visas som mappen ser "
                                    "ut nu.")
                         .arg(gone.join('\n')),
                     MbButtons::Ok, MbIcon::Exclamation, QStringLiteral("Radera"), 0, this);
        cmdShowFiles_Click();
        lstViewFiles->setFocus();
    });
}

void frmRkSelFile::mnuPopupNewFolder_Click()
{
    RkGuard("mnuPopupNewFolder_Click()", [&] {
        const QString name = inputBox ? inputBox(QStringLiteral("Ange namn på ny mapp: "), QStringLiteral("Ny mapp"))
                                      : QString();
        if (name.isEmpty())
            return;
        CreateNewFolder(name);
    });
}

bool frmRkSelFile::CreateNewFolder(const QString &name)
{
    return RkGuard("CreateNewFolder()", [&]() -> bool {
        if (name.isEmpty())
            return false;
        const QString refused = RkCheckNewName(name);
        if (!refused.isEmpty()) {
            RkMsgBox(refused, MbButtons::Ok, MbIcon::Critical, QStringLiteral("Fel"), 0, this);
            return false;
        }
        QString parent = FoTrVi->SelectedFolder();
        if (parent.isEmpty())
            parent = cleanFolderPath(sCurrentPath);
        if (parent.isEmpty() || !QDir(parent).mkdir(name)) {
            RkMsgBox(QStringLiteral("Fel vid skapande av ny mapp."), MbButtons::Ok, MbIcon::Critical,
                     QStringLiteral("Fel"), 0, this);
            return false;
        }
        FoTrVi->setSelectedFolder(QDir(parent).filePath(name));
        return true;
    });
}

void frmRkSelFile::mnuPopupRoot_Click()
{
    RkGuard("mnuPopupRoot_Click()", [&] {
        const QString root = session_.machine().keys().rootFolder;
        const QString folder = folderBrowser ? folderBrowser(QStringLiteral("Välj ny grundsökväg."), root) : QString();
        if (!folder.isEmpty() && folder != root)
            FoTrVi->setRootFolder(folder);
    });
}

void frmRkSelFile::cmdSend_Click()
{
    RkGuard("cmdSend_Click()", [&] {
        if (!checkShownFolder())
            return;
        // The selected programs in list order, one after the other.
        QStringList paths;
        QString shown; // the list's text of the (last) file, for the send window's caption
        const QString folder = RkAddBackslash(sCurrentPath);
        for (int i = 0; i < lstViewFiles->topLevelItemCount(); ++i) {
            if (!lstViewFiles->topLevelItem(i)->isSelected())
                continue;
            sCurrentFile = fileNameAt(i);
            shown = GetListItemText(i + 1, 0);
            paths << folder + sCurrentFile;
        }
        sendFilesToCnc(session_, paths, this, shown);
    });
}

void frmRkSelFile::mnuCleanOld_Click()
{
    RkGuard("mnuCleanOld_Click()", [&] {
        if (!checkShownFolder())
            return;
        FindBackupFiles(sCurrentPath);
        cmdShowFiles_Click();
    });
}

frmConfirmBackupDelete *frmRkSelFile::backupDialog()
{
    if (!backupDialog_)
        backupDialog_ = new frmConfirmBackupDelete(this);
    return backupDialog_;
}

void frmRkSelFile::FindBackupFiles(const QString &folder)
{
    RkGuard("FindBackupFiles()", [&] {
        // Opened once: the names are listed and, after the questions, deleted
        // in this folder, even when its path names another one by then.
        OpenedFolder opened(RkNativePath(folder));
        QStringList names;
        {
            WaitCursor wait;
            names = RkListBackupFiles(opened);
        }
        frmConfirmBackupDelete *dlg = backupDialog();
        dlg->sBackupPath = RkAddBackslash(folder);
        dlg->setFolder(std::move(opened));
        dlg->setNames(names);
        dlg->exec();
    });
}

}
