#include "documents/frmeditsetup.h"
#include "documents/pluginlist.h"

#include "core/fonts.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/language.h"
#include "core/msgbox.h"
#include "core/paths.h"
#include "core/services.h"
#include "core/sessionstate.h"
#include "core/settings.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "documents/host.h"
#include "documents/macropackage.h"

#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace lumrik {

// ---------------------------------------------------------------------------
// Reading and writing the values

namespace {

bool readTruth(const QString &section, const QString &key, bool def)
{
    return toTruth(GetIniSetting(section, key, boolText(def))).value_or(def);
}

QString readText(const QString &section, const QString &key, const QString &def)
{
    return GetIniSetting(section, key, def);
}

// The keys of one Apply, written to the settings file in one go.
struct KeyWriter {
    QList<std::array<QString, 3>> keys;
    void set(const QString &section, const QString &key, const QString &value) { keys.append({section, key, value}); }
    void set(const QString &section, const QString &key, bool value) { set(section, key, boolText(value)); }
    bool write() const
    {
        QList<IniEdit> edits;
        for (const auto &k : keys)
            edits.append({k[0], k[1], k[2]});
        return RkWriteIniFile(mainSettingsFile(), edits);
    }
};

bool kalmeroPresent(const QString &folder)
{
    return RkFileExists(findFileNoCase(folder, QStringLiteral("Kalmero32.exe")))
        || RkFileExists(findFileNoCase(folder, QStringLiteral("Pendrof.exe")));
}

}

EditSetupValues readEditSetup() { return readEditSetup(programSession().settings().values()); }

EditSetupValues readEditSetup(const SettingValues &settings)
{
    EditSetupValues v;
    const QString S = QStringLiteral("Settings");
    v.kalmeroPath = settings.kalmeroPath;
    v.numberSort = readTruth(S, "NumberSort", false);
    v.showAllFiles = readTruth(S, "ShowAllFiles", true);
    v.numKbdDec = readTruth(S, "NumKbdDec", false);
    v.upperCase = readTruth(S, "UpperCase", false);
    v.saveAsUnix = readTruth(S, "SaveAsUnix", false);
    v.tileHorizontal = toInt16(readText(S, "DefaultTile", "1")).value_or(0) == 1;
    v.scanComments = readTruth(S, "ScanComment", false);
    v.kollegieBlock = readTruth(S, "KollegieBlock", false);
    v.alwaysShowScrollbar = readTruth(S, "RullningsList", false);
    v.printTime = readTruth(QStringLiteral("Printing"), "PrintTime", false);
    v.autoColor = readTruth(S, "AutoColor", true);
    v.toolListChrs = readText(S, "ToolListChrs", "T");
    v.decCheckChrs = readText(S, "DecCheckChrs", "");
    v.noBackground = readTruth(S, "NoBackground", false);
    v.extraComPorts = false;

    const QString F = QStringLiteral("Filters");
    for (int n = 1; n <= 10; ++n) {
        const QString name = readText(F, QString::number(n) + "_Name", "");
        if (name.isEmpty())
            continue;
        EditSetupValues::FileType t;
        t.filter = readText(F, QString::number(n) + "_Filter", "");
        t.name = name;
        t.checked = t.filter == settings.showFileExt;
        v.fileTypes.append(t);
    }
    // One ticked row at most: the first match of the current pattern.
    bool seen = false;
    for (auto &t : v.fileTypes) {
        t.checked = t.checked && !seen;
        seen = seen || t.checked;
    }
    if (v.fileTypes.isEmpty())
        v.fileTypes.append({settings.showFileExt, settings.showFileExtText, true});
    return v;
}

bool applyEditSetup(Session &session, EditSetupValues &v)
{
    const QString S = QStringLiteral("Settings"), P = QStringLiteral("Printing");
    KeyWriter w;
    // 1
    w.set(S, "AutoColor", QString(v.autoColor ? "1" : "0"));
    // 2
    w.set(S, "KalmeroPath", CollapseExePath(v.kalmeroPath));
    Settings &settings = session.settings();
    settings.change([&](SettingValues &s) {
        s.kalmeroPath = ExpandExePath(v.kalmeroPath);
        s.useKalmero = kalmeroPresent(settingFolder(s.kalmeroPath));
    });
    // 3 - 7
    w.set(S, "NumberSort", v.numberSort);
    settings.change([&](SettingValues &s) { s.numberSort = v.numberSort; });
    w.set(S, "ShowAllFiles", v.showAllFiles);
    settings.change([&](SettingValues &s) { s.showAllFiles = v.showAllFiles; });
    w.set(S, "SaveAsUnix", v.saveAsUnix);
    settings.change([&](SettingValues &s) { s.saveAsUnixType = v.saveAsUnix ? 2 : 1; });
    w.set(S, "NumKbdDec", v.numKbdDec);
    settings.change([&](SettingValues &s) { s.numKbdDec = v.numKbdDec; });
    w.set(S, "UpperCase", v.upperCase);
    settings.change([&](SettingValues &s) { s.upperCase = v.upperCase; });
    // 8 - 11: the font and colours as their choices set them.
    {
        const SettingValues look = settings.values();
        w.set(S, "EditFont", look.textFont);
        w.set(S, "EditFontSize", QString::number(look.textFontSize));
        w.set(S, "EditFontColor", QString::number(look.textColor));
        w.set(S, "EditBackColor", QString::number(look.textBackColor));
    }
    // 13 - 16
    w.set(S, "KollegieBlock", v.kollegieBlock);
    settings.change([&](SettingValues &s) { s.kollegieBlock = v.kollegieBlock; });
    w.set(S, "RullningsList", v.alwaysShowScrollbar);
    settings.change([&](SettingValues &s) { s.scrollbarShow = v.alwaysShowScrollbar ? 2 : 4; });
    w.set(S, "ScanComment", v.scanComments);
    settings.change([&](SettingValues &s) { s.scanComment = v.scanComments; });
    const QString tile = v.tileHorizontal ? QStringLiteral("1") : QStringLiteral("2");
    w.set(S, "DefaultTile", tile);
    settings.change([&](SettingValues &s) { s.defaultTile = tile; });
    // 17 - 19
    PrintValues print = session.print().values();
    w.set(P, "PrinterFont", print.font);
    w.set(P, "PrinterFontSize", QString::number(print.fontSize));
    w.set(P, "PrintTime", v.printTime);
    print.time = v.printTime;
    session.print().set(print);
    // 20 - 21
    v.toolListChrs = v.toolListChrs.trimmed();
    w.set(S, "ToolListChrs", v.toolListChrs);
    settings.change([&](SettingValues &s) { s.toolListChrs = v.toolListChrs; });
    v.decCheckChrs = v.decCheckChrs.trimmed().toUpper();
    w.set(S, "DecCheckChrs", v.decCheckChrs);
    settings.change([&](SettingValues &s) { s.decCheckBlockChars = v.decCheckChrs; });
    // 22: an unticked box leaves the stored count as it is.
    if (v.extraComPorts)
        w.set(QStringLiteral("Options"), "ComPorts", QStringLiteral("16"));
    // 23 - 25
    w.set(S, "NoBackground", v.noBackground);
    settings.change([&](SettingValues &s) { s.noBack = v.noBackground; });
    const SettingValues shown = settings.values();
    w.set(S, "ShowFileExt", shown.showFileExt);
    w.set(S, "ShowFileExtText", shown.showFileExtText);
    return w.write();
}

void applyEditorLookToDocuments(const SettingValues &settings)
{
    DocumentHost *host = documentHost();
    if (!host)
        return;
    const QList<frmDocument *> docs = host->documents();
    for (auto it = docs.crbegin(); it != docs.crend(); ++it) {
        Editor *e = (*it)->txtText;
        if (!e)
            continue;
        e->setFont(RkFixedFontFamily(settings.textFont));
        e->setFontSize(settings.textFontSize);
        e->setForeColor(rkColor(settings.textColor));
        e->setBackColor(rkColor(settings.textBackColor));
        if (settings.scrollbarShow == 2 || settings.scrollbarShow == 4)
            e->setScrollBars(settings.scrollbarShow);
        // The lined paper follows the kollegieBlock setting at the next paint.
        if (QWidget *vp = e->viewport())
            vp->update();
        e->update();
    }
}

// ---------------------------------------------------------------------------
// Platform dialogs

namespace {

bool platformChooseFont(QWidget *owner, QString &family, int &size, int &colour)
{
    QDialog dlg(owner);
    dlg.setObjectName(QStringLiteral("dlgFont"));
    dlg.setWindowTitle(QStringLiteral("Teckensnitt"));
    auto *layout = new QVBoxLayout(&dlg);
    auto *fonts = new QFontDialog(&dlg);
    fonts->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    fonts->setWindowFlags(Qt::Widget);
    fonts->setCurrentFont(RkFontForDialog(family, size));
    layout->addWidget(fonts);
    fonts->setVisible(true);

    int chosen = colour;
    auto *colourRow = new QHBoxLayout;
    auto *swatch = new QLabel(&dlg);
    swatch->setFixedSize(40, 20);
    swatch->setAutoFillBackground(true);
    auto paint = [swatch, &chosen] {
        QPalette pal = swatch->palette();
        pal.setColor(QPalette::Window, rkColor(chosen));
        swatch->setPalette(pal);
    };
    paint();
    auto *colourButton = new QPushButton(QStringLiteral("&Färg..."), &dlg);
    colourRow->addWidget(new QLabel(QStringLiteral("Textfärg:"), &dlg));
    colourRow->addWidget(swatch);
    colourRow->addWidget(colourButton);
    colourRow->addStretch();
    layout->addLayout(colourRow);
    QObject::connect(colourButton, &QPushButton::clicked, &dlg, [&] {
        const QColor c = QColorDialog::getColor(rkColor(chosen), &dlg, QStringLiteral("Textfärg"));
        if (c.isValid()) {
            chosen = rkColorValue(c);
            paint();
        }
    });
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("&Avbryt"));
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    const QFont result = fonts->currentFont();
    family = result.family();
    if (result.pointSize() > 0)
        size = result.pointSize();
    else if (result.pointSizeF() > 0)
        size = qRound(result.pointSizeF());
    colour = chosen;
    return true;
}

bool platformChooseColor(QWidget *owner, int &colour)
{
    const QColor c = QColorDialog::getColor(rkColor(colour), owner, QStringLiteral("Färg"));
    if (!c.isValid())
        return false;
    colour = rkColorValue(c);
    return true;
}

EditSetupDialogs platformDialogs()
{
    return {platformChooseFont, platformChooseColor, BrowseForFolder};
}

}

EditSetupDialogs &editSetupDialogs()
{
    static EditSetupDialogs d = platformDialogs();
    return d;
}

void resetEditSetupDialogs() { editSetupDialogs() = platformDialogs(); }

// ---------------------------------------------------------------------------
// The dialog

namespace {

template <class T>
T *named(T *w, const char *name, int id = 0)
{
    w->setObjectName(QString::fromLatin1(name));
    if (id)
        setTag(w, id);
    return w;
}

QCheckBox *check(QWidget *parent, QLayout *layout, const char *name, const QString &text, int id)
{
    auto *c = named(new QCheckBox(text, parent), name, id);
    layout->addWidget(c);
    return c;
}

QGroupBox *frame(QWidget *parent, QLayout *layout, const char *name, const QString &title, int id)
{
    auto *g = named(new QGroupBox(title, parent), name, id);
    layout->addWidget(g);
    return g;
}

}

frmEditSetup::frmEditSetup(Session &session, QWidget *owner) : QDialog(owner), session_(session), owner_(owner)
{
    setObjectName(QStringLiteral("frmEditSetup"));
    setTag(this, 299);
    setWindowTitle(QStringLiteral("Inställningar Editor"));
    setModal(true);
    buildControls();
    Form_Load();
}

frmEditSetup::~frmEditSetup() = default;

void frmEditSetup::buildControls()
{
    auto *root = new QVBoxLayout(this);
    tabSetup = named(new QTabWidget(this), "tabSetup", 300);
    root->addWidget(tabSetup);

    // "&Editor"
    {
        auto *page = new QWidget;
        auto *l = new QVBoxLayout(page);
        Frame4 = frame(page, l, "Frame4", QStringLiteral("Programval"), 301);
        auto *f4 = new QVBoxLayout(Frame4);
        chkNumberSort = check(Frame4, f4, "chkNumberSort", QStringLiteral("Sortera filnamnen numeriskt."), 303);
        chkScanComments = check(Frame4, f4, "chkScanComments",
                                QStringLiteral("Scanna kommentarer d.v.s läs första parentes i varje program."), 302);
        chkShowAllfiles = check(Frame4, f4, "chkShowAllfiles", QStringLiteral("Visa alla filer"), 304);
        Frame9 = frame(page, l, "Frame9", QStringLiteral("Diverse"), 305);
        auto *f9 = new QVBoxLayout(Frame9);
        chkNoBackground = check(Frame9, f9, "chkNoBackground", QStringLiteral("Ingen bakgrungsbild"), 310);
        chkAllwaysShowScrollbar = check(Frame9, f9, "chkAllwaysShowScrollbar",
                                        QStringLiteral("Visa alltid rullningslisten i editor"), 309);
        chkUpperCase = check(Frame9, f9, "chkUpperCase", QStringLiteral("Alltid versaler (STORA bokstäver) "), 308);
        chkNumKbdDec = check(Frame9, f9, "chkNumKbdDec",
                             QStringLiteral("Översätt komma på numeriska tangentbordet till punkt"), 307);
        chkSaveAsUnix = check(Frame9, f9, "chkSaveAsUnix", QStringLiteral("Spara Ncprogram i UNIX format"), 306);
        l->addStretch();
        tabSetup->addTab(page, QStringLiteral("&Editor"));
    }
    // "&Font och färg"
    {
        auto *page = new QWidget;
        auto *l = new QVBoxLayout(page);
        Frame5 = frame(page, l, "Frame5", QStringLiteral("Färgläggning av NC-koder"), 311);
        auto *f5 = new QVBoxLayout(Frame5);
        chkColorISO = check(Frame5, f5, "chkColorISO", QStringLiteral("Automatisk färgläggning"), 329);
        Frame3 = frame(page, l, "Frame3", QStringLiteral("Utseende"), 340);
        auto *f3 = new QGridLayout(Frame3);
        Label5 = named(new QLabel(QStringLiteral("Normal font och färg"), Frame3), "Label5", 342);
        cmdEditFontSel = named(new QPushButton(QStringLiteral("&Font..."), Frame3), "cmdEditFontSel", 341);
        Label4 = named(new QLabel(QStringLiteral("Bakgrundsfärg för all text i editorn"), Frame3), "Label4", 344);
        cmdEditBackGround = named(new QPushButton(QStringLiteral("Färg..."), Frame3), "cmdEditBackGround", 343);
        f3->addWidget(Label5, 0, 0);
        f3->addWidget(cmdEditFontSel, 0, 1);
        f3->addWidget(Label4, 1, 0);
        f3->addWidget(cmdEditBackGround, 1, 1);
        chkKollegieBlock = named(new QCheckBox(QStringLiteral("Linjerad bakgrund"), Frame3), "chkKollegieBlock", 345);
        ChkTileHorisontal =
            named(new QCheckBox(QStringLiteral("Visa flera program över/under"), Frame3), "ChkTileHorisontal", 346);
        f3->addWidget(chkKollegieBlock, 2, 0, 1, 2);
        f3->addWidget(ChkTileHorisontal, 3, 0, 1, 2);
        f3->setColumnStretch(0, 1);
        l->addStretch();
        tabSetup->addTab(page, QStringLiteral("&Font och färg"));
    }
    // "&Options"
    {
        auto *page = new QWidget;
        auto *l = new QVBoxLayout(page);
        Frame10 = frame(page, l, "Frame10", QStringLiteral("Skapa verktygslista"), 360);
        auto *f10 = new QVBoxLayout(Frame10);
        Label8 = named(new QLabel(QStringLiteral("Ange tecken som skall ingå i ett block för att bli en verktygslista. "
                                                 "Används flera så separarera med komma "),
                                  Frame10),
                       "Label8", 361);
        Label8->setWordWrap(true);
        txtToolListChrs = named(new QLineEdit(Frame10), "txtToolListChrs");
        f10->addWidget(Label8);
        f10->addWidget(txtToolListChrs);
        Frame2 = frame(page, l, "Frame2", QStringLiteral("Sökväg till Kalmero (OPTION)"), 334);
        auto *f2 = new QHBoxLayout(Frame2);
        txdPathToKalmero = named(new QLineEdit(Frame2), "txdPathToKalmero");
        btnBowseForKalmeroDir = named(new QPushButton(QStringLiteral("&Bläddra"), Frame2), "btnBowseForKalmeroDir", 40);
        f2->addWidget(txdPathToKalmero, 1);
        f2->addWidget(btnBowseForKalmeroDir);
        frmDecimalkoll = frame(page, l, "frmDecimalkoll", QStringLiteral("Kontroll av Decimalpunkt"), 380);
        auto *fd = new QVBoxLayout(frmDecimalkoll);
        Label9 = named(new QLabel(QStringLiteral("Ange de tecken som skall ingå vid kontroll av decimalpunkt.   ex XYZIJK"),
                                  frmDecimalkoll),
                       "Label9", 381);
        Label9->setWordWrap(true);
        txtDecCheckChrs = named(new QLineEdit(frmDecimalkoll), "txtDecCheckChrs");
        fd->addWidget(Label9);
        fd->addWidget(txtDecCheckChrs);
        l->addStretch();
        tabSetup->addTab(page, QStringLiteral("&Options"));
    }
    // "&Macro"
    {
        auto *page = new QWidget;
        auto *l = new QVBoxLayout(page);
        Frame11 = frame(page, l, "Frame11", QStringLiteral("Importera macro "), 384);
        auto *g = new QGridLayout(Frame11);
        Label10 = named(new QLabel(QStringLiteral("Importera ifrån :"), Frame11), "Label10", 385);
        txtImportFrom = named(new QLineEdit(QStringLiteral("D:\\MAKRON"), Frame11), "txtImportFrom");
        cmdImportFrom = named(new QPushButton(QStringLiteral("&Bläddra"), Frame11), "cmdImportFrom", 40);
        Label11[0] = named(new QLabel(QStringLiteral("Sparas i mapp :"), Frame11), "Label11", 386);
        Label11[0]->setProperty("index", 0);
        lblSavePath = named(new QLabel(Frame11), "lblSavePath");
        Label11[1] = named(new QLabel(QStringLiteral("Namn på maskin :"), Frame11), "Label11", 387);
        Label11[1]->setProperty("index", 1);
        lblCncName = named(new QLabel(Frame11), "lblCncName");
        cmdImport = named(new QPushButton(QStringLiteral("Importera"), Frame11), "cmdImport", 388);
        g->addWidget(Label10, 0, 0);
        g->addWidget(txtImportFrom, 0, 1);
        g->addWidget(cmdImportFrom, 0, 2);
        g->addWidget(Label11[0], 1, 0);
        g->addWidget(lblSavePath, 1, 1, 1, 2);
        g->addWidget(Label11[1], 2, 0);
        g->addWidget(lblCncName, 2, 1, 1, 2);
        g->addWidget(cmdImport, 3, 2);
        g->setColumnStretch(1, 1);
        l->addStretch();
        tabSetup->addTab(page, QStringLiteral("&Macro"));
    }
    // "&Plugin's": the plug-in host fills the list and enables these.
    {
        auto *page = new QWidget;
        auto *l = new QVBoxLayout(page);
        Frame1 = frame(page, l, "Frame1", QStringLiteral("Hittade plugin:er"), 365);
        auto *f1 = new QVBoxLayout(Frame1);
        lvPluginList = named(new QTreeWidget(Frame1), "lvPluginList", 1510);
        lvPluginList->setColumnCount(3);
        lvPluginList->setHeaderLabels({QStringLiteral("Namn"), QStringLiteral("Version"), QStringLiteral("Beskrivning")});
        lvPluginList->setRootIsDecorated(false);
        f1->addWidget(lvPluginList);
        auto *row = new QHBoxLayout;
        cmdSetupPlugin = named(new QPushButton(QStringLiteral("Inställningar"), Frame1), "cmdSetupPlugin", 1496);
        cmdRegPlugins = named(new QPushButton(QStringLiteral("Registrera plugin:er"), Frame1), "cmdRegPlugins", 1497);
        row->addStretch();
        row->addWidget(cmdSetupPlugin);
        row->addWidget(cmdRegPlugins);
        f1->addLayout(row);
        lvPluginList->setEnabled(false);
        cmdSetupPlugin->setEnabled(false);
        cmdRegPlugins->setEnabled(false);
        tabSetup->addTab(page, QStringLiteral("&Plugin's"));
    }
    // "&Övrigt"
    {
        auto *page = new QWidget;
        auto *l = new QVBoxLayout(page);
        Frame12 = frame(page, l, "Frame12", QStringLiteral("Fillista"), 328);
        auto *f12 = new QVBoxLayout(Frame12);
        Label1 = named(new QLabel(QStringLiteral("Filändelser att visa:"), Frame12), "Label1", 376);
        lvExtensions = named(new QTreeWidget(Frame12), "lvExtensions");
        lvExtensions->setColumnCount(2);
        lvExtensions->setHeaderLabels({QStringLiteral("Filändelse"), QStringLiteral("Beskrivning")});
        lvExtensions->setRootIsDecorated(false);
        chkPrintTime = named(new QCheckBox(QStringLiteral("Skriv även ut klockslag"), Frame12), "chkPrintTime", 327);
        f12->addWidget(Label1);
        f12->addWidget(lvExtensions);
        f12->addWidget(chkPrintTime);
        Frame14 = frame(page, l, "Frame14", QStringLiteral("Kommunikation"), 1500);
        auto *f14 = new QHBoxLayout(Frame14);
        chkExtraCommports = named(new QCheckBox(QStringLiteral("Visa 16 COM portar"), Frame14), "chkExtraCommports", 1501);
        cmdDeviceManager = named(new QPushButton(QStringLiteral("Enheter"), Frame14), "cmdDeviceManager", 1502);
        f14->addWidget(chkExtraCommports, 1);
        f14->addWidget(cmdDeviceManager);
        tabSetup->addTab(page, QStringLiteral("&Övrigt"));
    }

    auto *buttons = new QHBoxLayout;
    cmdOK = named(new QPushButton(QStringLiteral("&OK"), this), "cmdOK");
    cmdCancel = named(new QPushButton(QStringLiteral("&Avbryt"), this), "cmdCancel", 10);
    cmdApply = named(new QPushButton(QStringLiteral("&Verkställ"), this), "cmdApply", 30);
    cmdOK->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(cmdApply);
    root->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, &frmEditSetup::cmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmEditSetup::cmdCancel_Click);
    connect(cmdApply, &QPushButton::clicked, this, &frmEditSetup::cmdApply_Click);
    connect(chkColorISO, &QCheckBox::clicked, this, &frmEditSetup::chkColorISO_Click);
    connect(cmdEditFontSel, &QPushButton::clicked, this, &frmEditSetup::cmdEditFontSel_Click);
    connect(cmdEditBackGround, &QPushButton::clicked, this, &frmEditSetup::cmdEditBackGround_Click);
    connect(btnBowseForKalmeroDir, &QPushButton::clicked, this, &frmEditSetup::btnBowseForKalmeroDir_Click);
    connect(lvExtensions, &QTreeWidget::itemChanged, this, &frmEditSetup::onExtensionChanged);
    connect(cmdDeviceManager, &QPushButton::clicked, this, &frmEditSetup::cmdDeviceManager_Click);
    connect(cmdImportFrom, &QPushButton::clicked, this, &frmEditSetup::cmdImportFrom_Click);
    connect(cmdImport, &QPushButton::clicked, this, &frmEditSetup::cmdImport_Click);
}

QWidget *frmEditSetup::mainWindow() const
{
    if (owner_)
        return owner_->window();
    DocumentHost *host = documentHost();
    return host ? host->mainWidget() : nullptr;
}

QAction *frmEditSetup::mainAction(const QString &name) const
{
    QWidget *w = mainWindow();
    return w ? w->findChild<QAction *>(name) : nullptr;
}

void frmEditSetup::Form_Load()
{
    filling_ = true;
    SetLanguage(this);
    const EditSetupValues v = readEditSetup(session_.settings().values());
    txdPathToKalmero->setText(v.kalmeroPath);
    chkNumberSort->setChecked(v.numberSort);
    chkShowAllfiles->setChecked(v.showAllFiles);
    chkNumKbdDec->setChecked(v.numKbdDec);
    chkUpperCase->setChecked(v.upperCase);
    chkSaveAsUnix->setChecked(v.saveAsUnix);
    ChkTileHorisontal->setChecked(v.tileHorizontal);
    chkScanComments->setChecked(v.scanComments);
    chkKollegieBlock->setChecked(v.kollegieBlock);
    chkAllwaysShowScrollbar->setChecked(v.alwaysShowScrollbar);
    chkPrintTime->setChecked(v.printTime);
    // Loading shows the stored value only; the menu item follows the user's clicks.
    chkColorISO->setChecked(v.autoColor);
    txtToolListChrs->setText(v.toolListChrs);
    txtDecCheckChrs->setText(v.decCheckChrs);
    chkNoBackground->setChecked(v.noBackground);
    chkExtraCommports->setChecked(false);

    lvExtensions->clear();
    for (const auto &t : v.fileTypes) {
        auto *item = new QTreeWidgetItem(lvExtensions, {t.filter, t.name});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, t.checked ? Qt::Checked : Qt::Unchecked);
    }
    lvExtensions->resizeColumnToContents(0);
    filling_ = false;
    attachPluginList(lvPluginList, cmdSetupPlugin, cmdRegPlugins);
}

EditSetupValues frmEditSetup::values() const
{
    EditSetupValues v;
    v.numberSort = chkNumberSort->isChecked();
    v.showAllFiles = chkShowAllfiles->isChecked();
    v.numKbdDec = chkNumKbdDec->isChecked();
    v.upperCase = chkUpperCase->isChecked();
    v.saveAsUnix = chkSaveAsUnix->isChecked();
    v.tileHorizontal = ChkTileHorisontal->isChecked();
    v.scanComments = chkScanComments->isChecked();
    v.kollegieBlock = chkKollegieBlock->isChecked();
    v.alwaysShowScrollbar = chkAllwaysShowScrollbar->isChecked();
    v.printTime = chkPrintTime->isChecked();
    v.autoColor = chkColorISO->isChecked();
    v.noBackground = chkNoBackground->isChecked();
    v.extraComPorts = chkExtraCommports->isChecked();
    v.toolListChrs = txtToolListChrs->text();
    v.decCheckChrs = txtDecCheckChrs->text();
    v.kalmeroPath = txdPathToKalmero->text();
    for (int i = 0; i < lvExtensions->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = lvExtensions->topLevelItem(i);
        v.fileTypes.append({item->text(0), item->text(1), item->checkState(0) == Qt::Checked});
    }
    return v;
}

void frmEditSetup::cmdApply_Click()
{
    EditSetupValues v = values();
    applyEditSetup(session_, v);
    txtDecCheckChrs->setText(v.decCheckChrs);
    applyEditorLookToDocuments(session_.settings().values());
}

void frmEditSetup::cmdOk_Click()
{
    cmdApply_Click();
    accept();
}

void frmEditSetup::cmdCancel_Click() { reject(); }

void frmEditSetup::chkColorISO_Click()
{
    if (QAction *a = mainAction(QStringLiteral("mnuViewAutoColorNC")))
        a->setChecked(chkColorISO->isChecked());
}

void frmEditSetup::cmdEditFontSel_Click()
{
    const SettingValues inUse = session_.settings().values();
    QString family = RkFixedFontFamily(inUse.textFont); // the font in use
    int size = inUse.textFontSize, colour = inUse.textColor;
    const auto &choose = editSetupDialogs().chooseFont;
    if (!choose || !choose(this, family, size, colour))
        return;
    session_.settings().change([&](SettingValues &s) {
        s.textFont = family;
        s.textFontSize = size;
        s.textColor = colour;
    });
}

void frmEditSetup::cmdEditBackGround_Click()
{
    int colour = session_.settings().values().textBackColor;
    const auto &choose = editSetupDialogs().chooseColor;
    if (!choose || !choose(this, colour))
        return;
    session_.settings().change([&](SettingValues &s) { s.textBackColor = colour; });
}

void frmEditSetup::btnBowseForKalmeroDir_Click()
{
    const auto &browse = editSetupDialogs().browseFolder;
    if (!browse)
        return;
    QString folder = browse(QStringLiteral("Ange sökväg till programmet Pendrof.Exe"), this,
                            ExpandExePath(txdPathToKalmero->text()));
    folder = ExpandExePath(folder);
    if (folder.size() > 1)
        txdPathToKalmero->setText(folder);
}

void frmEditSetup::onExtensionChanged(QTreeWidgetItem *item, int column)
{
    if (filling_ || column != 0 || !item)
        return;
    lvExtensions_ItemCheck(item);
}

void frmEditSetup::lvExtensions_ItemCheck(QTreeWidgetItem *item)
{
    if (!item)
        return;
    {
        const QSignalBlocker block(lvExtensions);
        for (int i = 0; i < lvExtensions->topLevelItemCount(); ++i)
            lvExtensions->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
        item->setCheckState(0, Qt::Checked);
    }
    lvExtensions->viewport()->update();
    session_.settings().change([&](SettingValues &s) {
        s.showFileExt = item->text(0);
        s.showFileExtText = item->text(1);
    });
}

void frmEditSetup::cmdDeviceManager_Click()
{
    // There is no device manager here: the serial ports are what this
    // button is for, so it lists them.
    const QString ports = EnumSerialPorts().trimmed();
    if (ports.isEmpty())
        RkMsgBox(QStringLiteral("Inga serieportar hittades på denna dator."), MbButtons::Ok, MbIcon::Information,
                 QStringLiteral("Enheter"), 0, this);
    else
        RkMsgBox(QStringLiteral("Serieportar på denna dator:\n\n") + QString(ports).replace("\r\n", "\n"),
                 MbButtons::Ok, MbIcon::Information, QStringLiteral("Enheter"), 0, this);
}

void frmEditSetup::cmdImportFrom_Click()
{
    const auto &browse = editSetupDialogs().browseFolder;
    if (!browse)
        return;
    const QString folder = browse(QStringLiteral("Ange sökväg till macron."), this, txtImportFrom->text());
    if (!folder.isEmpty())
        txtImportFrom->setText(folder);
}

void frmEditSetup::cmdImport_Click()
{
    MacroMenuAccess menu;
    menu.caption = [this](int n) {
        QAction *a = mainAction(QStringLiteral("mnuSubMacro%1").arg(n));
        return a ? a->text() : QString();
    };
    menu.showEntry = [this](int n, const QString &caption) {
        if (QAction *a = mainAction(QStringLiteral("mnuSubMacro%1").arg(n))) {
            a->setText(caption);
            a->setVisible(true);
        }
    };
    RkImportMacroPackage(txtImportFrom->text(), menu, this, [this](const QString &path, const QString &name) {
        lblSavePath->setText(path);
        lblCncName->setText(name);
    });
}

}
