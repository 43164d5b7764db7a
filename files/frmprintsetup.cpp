#include "files/frmprintsetup.h"

#include "core/errors.h"
#include "core/fonts.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/language.h"
#include "core/sessionstate.h"
#include "core/settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <cmath>

namespace lumrik {

namespace {

const QString kSection = QStringLiteral("Printing");

frmPrintSetup::FontDialogFn &fontDialogHook()
{
    static frmPrintSetup::FontDialogFn hook;
    return hook;
}

// A small picture of a page with `columns` columns of text.
QPixmap columnPreview(int columns)
{
    const QSize size(64, 84);
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawRect(QRect(QPoint(0, 0), size - QSize(1, 1)));
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.drawLine(6, 8, 57, 8);            // header rule
    p.drawLine(6, 76, 57, 76);          // footer rule
    const int left = 6, width = 52, gap = 4;
    const int colWidth = (width - gap * (columns - 1)) / columns;
    for (int c = 0; c < columns; ++c) {
        const int x = left + c * (colWidth + gap);
        for (int y = 13; y <= 71; y += 4) {
            const int len = colWidth - ((y * 7 + c * 3) % 9);
            p.drawLine(x, y, x + std::max(3, len), y);
        }
    }
    return pm;
}

QLabel *caption(const QString &text, int id)
{
    auto *l = new QLabel(text);
    setTag(l, id);
    return l;
}

QLineEdit *marginBox(const char *name)
{
    auto *e = new QLineEdit;
    e->setObjectName(QLatin1String(name));
    e->setMaximumWidth(60);
    // Only the digits: margins are whole millimetres. Backspace still works.
    e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), e));
    return e;
}

}

void frmPrintSetup::setFontDialogHook(FontDialogFn hook) { fontDialogHook() = std::move(hook); }

frmPrintSetup::frmPrintSetup(QWidget *owner) : frmPrintSetup(programSession().print(), owner) {}

frmPrintSetup::frmPrintSetup(PrintSettings &print, QWidget *owner) : QDialog(owner), print_(print)
{
    setObjectName(QStringLiteral("frmPrintSetup"));
    setWindowTitle(QStringLiteral("Skrivare inställningar"));
    setTag(this, 1555);
    setModal(true);

    // Utskriftsfont
    auto *fraFont = new QGroupBox(QStringLiteral("Utskriftsfont"));
    fraFont->setObjectName(QStringLiteral("fraFont"));
    setTag(fraFont, 1553);
    auto *lblFontInfo = caption(QStringLiteral("Välj font för utskrift, endast fasta fonter kan väljas"), 321);
    lblFontInfo->setObjectName(QStringLiteral("lblFontInfo"));
    lblFontInfo->setWordWrap(true);
    cmdPrintFont = new QPushButton(QStringLiteral("&Font..."));
    cmdPrintFont->setObjectName(QStringLiteral("cmdPrintFont"));
    setTag(cmdPrintFont, 322);
    lblPrintFont = new QLabel;
    lblPrintFont->setObjectName(QStringLiteral("lblPrintFont"));
    auto *fontGrid = new QGridLayout(fraFont);
    fontGrid->addWidget(lblFontInfo, 0, 0);
    fontGrid->addWidget(cmdPrintFont, 0, 1, Qt::AlignTop);
    fontGrid->addWidget(lblPrintFont, 1, 0, 1, 2);
    fontGrid->setColumnStretch(0, 1);

    // Special
    auto *fraSpecial = new QGroupBox(QStringLiteral("Special"));
    fraSpecial->setObjectName(QStringLiteral("fraSpecial"));
    setTag(fraSpecial, 1552);
    chkPrintBoldComments = new QCheckBox(QStringLiteral("parenteser med fet text"));
    chkPrintBoldComments->setObjectName(QStringLiteral("chkPrintBoldComments"));
    setTag(chkPrintBoldComments, 325);
    chkPrintItalicComments = new QCheckBox(QStringLiteral("parenteser med lutande text"));
    chkPrintItalicComments->setObjectName(QStringLiteral("chkPrintItalicComments"));
    setTag(chkPrintItalicComments, 324);
    auto *specialBox = new QVBoxLayout(fraSpecial);
    specialBox->addWidget(chkPrintBoldComments);
    specialBox->addWidget(chkPrintItalicComments);

    // Spalter
    auto *fraColumns = new QGroupBox(QStringLiteral("Spalter"));
    fraColumns->setObjectName(QStringLiteral("fraColumns"));
    setTag(fraColumns, 1551);
    cmbColumns = new QComboBox;
    cmbColumns->setObjectName(QStringLiteral("cmbColumns"));
    cmbColumns->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    // Any whole number may be stored; the document print lays out that many.
    cmbColumns->setEditable(true);
    cmbColumns->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), cmbColumns));
    cmbColumns->setMaximumWidth(60);
    auto *columnsRow = new QHBoxLayout;
    columnsRow->addWidget(caption(QStringLiteral("Antal spalter:"), 1564));
    columnsRow->addWidget(cmbColumns);
    columnsRow->addWidget(new QLabel(QStringLiteral("st")));
    columnsRow->addStretch(1);
    auto *pictures = new QHBoxLayout;
    for (int i = 1; i <= 3; ++i) {
        img1Col[size_t(i)] = new QLabel;
        img1Col[size_t(i)]->setObjectName(QStringLiteral("img1Col%1").arg(i));
        img1Col[size_t(i)]->setPixmap(columnPreview(i));
        img1Col[size_t(i)]->setVisible(i == 1);
        pictures->addWidget(img1Col[size_t(i)]);
    }
    pictures->addStretch(1);
    auto *columnsBox = new QVBoxLayout(fraColumns);
    columnsBox->addLayout(columnsRow);
    columnsBox->addLayout(pictures);

    // Marginaler
    auto *fraMargins = new QGroupBox(QStringLiteral("Marginaler"));
    fraMargins->setObjectName(QStringLiteral("fraMargins"));
    setTag(fraMargins, 1550);
    txtTopMargin = marginBox("txtTopMargin");
    txtLeftMargin = marginBox("txtLeftMargin");
    txtRightMargin = marginBox("txtRightMargin");
    txtBottomMargin = marginBox("txtBottomMargin");
    auto *marginGrid = new QGridLayout(fraMargins);
    const struct {
        const char *text;
        int id;
        QLineEdit *box;
    } margins[] = {{"Topp:", 1560, txtTopMargin},
                   {"Vänster:", 1561, txtLeftMargin},
                   {"Höger:", 1562, txtRightMargin},
                   {"Botten:", 1563, txtBottomMargin}};
    int row = 0;
    for (const auto &m : margins) {
        marginGrid->addWidget(caption(QString::fromUtf8(m.text), m.id), row, 0);
        marginGrid->addWidget(m.box, row, 1);
        marginGrid->addWidget(new QLabel(QStringLiteral("mm")), row, 2);
        ++row;
    }
    marginGrid->setColumnStretch(3, 1);

    cmdSave = new QPushButton(QStringLiteral("Spara"));
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdSave->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Avbryt"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto *grid = new QGridLayout;
    grid->addWidget(fraFont, 0, 0, 1, 2);
    grid->addWidget(fraSpecial, 1, 0, 1, 2);
    grid->addWidget(fraColumns, 2, 0);
    grid->addWidget(fraMargins, 2, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);
    auto *top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addLayout(buttons);

    connect(cmdSave, &QPushButton::clicked, this, &frmPrintSetup::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmPrintSetup::cmdCancel_Click);
    connect(cmdPrintFont, &QPushButton::clicked, this, &frmPrintSetup::cmdPrintFont_Click);
    connect(cmbColumns, &QComboBox::currentTextChanged, this, &frmPrintSetup::cmbColumns_Click);

    // Form load.
    SetLanguage(this);
    showFontName();
    LoadSettings();
}

void frmPrintSetup::showFontName()
{
    // The font that prints: a stored font that is not installed has a stand-in.
    const PrintValues &p = print_.values();
    lblPrintFont->setText(QStringLiteral("%1, %2 pt").arg(RkFixedFontFamily(p.font)).arg(p.fontSize));
}

void frmPrintSetup::LoadSettings()
{
    RkGuard("LoadSettings()", [&] {
        auto read = [](const char *key, const char *def) {
            return GetIniSetting(kSection, QLatin1String(key), QLatin1String(def));
        };
        txtTopMargin->setText(read("TopMargin", "20"));
        txtBottomMargin->setText(read("BottomMargin", "20"));
        txtLeftMargin->setText(read("LeftMargin", "40"));
        txtRightMargin->setText(read("RightMargin", "20"));
        cmbColumns->setCurrentText(read("Columns", "1"));
        cmbColumns_Click();
        const struct {
            const char *key;
            QCheckBox *box;
        } checks[] = {{"BoldComment", chkPrintBoldComments}, {"ItalicComment", chkPrintItalicComments}};
        for (const auto &c : checks) {
            const QString text = read(c.key, "False");
            const std::optional<bool> on = toTruth(text);
            if (!on)
                throw RkExpected(kErrTypeMismatch, QStringLiteral("Inställningen \"%1\" i avsnittet \"Printing\" är "
                                                               "varken True eller False: \"%2\"")
                                                    .arg(QLatin1String(c.key), text));
            c.box->setChecked(*on);
        }
    });
}

bool frmPrintSetup::SaveSettings()
{
    return RkGuard("SaveSettings()", [&]() -> bool {
        // Every value is checked before the first one is written: a wrong
        // value leaves the file and the program as they were.
        PrintSettings &settings = print_;
        PrintValues p = settings.values();
        const struct {
            const char *key;
            QLineEdit *box;
            int &target;
            const char *name;
        } margins[] = {{"TopMargin", txtTopMargin, p.topMargin, "Topp"},
                       {"BottomMargin", txtBottomMargin, p.bottomMargin, "Botten"},
                       {"LeftMargin", txtLeftMargin, p.leftMargin, "Vänster"},
                       {"RightMargin", txtRightMargin, p.rightMargin, "Höger"}};
        int marginValues[4] = {};
        for (int i = 0; i < 4; ++i) {
            const auto &m = margins[i];
            const QString text = m.box->text();
            const std::optional<int> value = text.trimmed().isEmpty() ? std::nullopt : toInt32(text);
            if (!value || *value < 0)
                throw RkExpected(kErrTypeMismatch, QStringLiteral("Marginalen %1 måste vara ett helt antal millimeter "
                                                               "(nu \"%2\").")
                                                    .arg(QString::fromUtf8(m.name), text));
            marginValues[i] = *value;
        }
        const QString columnsText = cmbColumns->currentText();
        const int columnCount = columnsText.trimmed().isEmpty() ? 0 : toInt16(columnsText).value_or(0);
        if (columnCount < 1)
            throw RkExpected(kErrTypeMismatch,
                          QStringLiteral("Antal spalter måste vara ett heltal från 1 (nu \"%1\").").arg(columnsText));

        // A write that fails has told the user already; what follows it is not written.
        for (int i = 0; i < 4; ++i) {
            if (!SaveIniSetting(kSection, QLatin1String(margins[i].key), margins[i].box->text()))
                return false;
            margins[i].target = marginValues[i];
            settings.set(p);
        }
        if (!SaveIniSetting(kSection, QStringLiteral("Columns"), columnsText))
            return false;
        p.columns = columnCount;
        settings.set(p);
        const bool bold = chkPrintBoldComments->isChecked();
        if (!SaveIniSetting(kSection, QStringLiteral("BoldComment"), boolText(bold)))
            return false;
        p.boldComments = bold;
        settings.set(p);
        const bool italic = chkPrintItalicComments->isChecked();
        if (!SaveIniSetting(kSection, QStringLiteral("ItalicComment"), boolText(italic)))
            return false;
        p.italicComments = italic;
        settings.set(p);
        return true;
    });
}

void frmPrintSetup::cmdSave_Click()
{
    // The dialog stays open with the user's values when they could not be
    // saved, so that nothing typed is lost.
    if (SaveSettings())
        accept();
}

void frmPrintSetup::cmdCancel_Click() { reject(); }

void frmPrintSetup::cmdPrintFont_Click()
{
    PrintValues p = print_.values();
    QFont font = RkFontForDialog(p.font, p.fontSize); // the font in use
    bool chosen = false;
    try {
        if (const FontDialogFn &hook = fontDialogHook()) {
            chosen = hook(this, font);
        } else {
            bool ok = false;
            const QFont picked = QFontDialog::getFont(&ok, font, this, QStringLiteral("Utskriftsfont"),
                                                      QFontDialog::MonospacedFonts);
            if (ok)
                font = picked;
            chosen = ok;
        }
    } catch (...) {
        // A failing font dialog changes nothing, as a cancelled one.
        chosen = false;
    }
    if (!chosen)
        return;
    const double size = font.pointSizeF() > 0 ? font.pointSizeF() : double(font.pointSize());
    const int whole = int(std::nearbyint(size));
    if (font.family().isEmpty() || whole < 1)
        return;
    p.font = font.family();
    p.fontSize = whole;
    print_.set(p);
    SaveIniSetting(kSection, QStringLiteral("PrinterFont"), p.font);
    SaveIniSetting(kSection, QStringLiteral("PrinterFontSize"), QString::number(p.fontSize));
    showFontName();
}

void frmPrintSetup::cmbColumns_Click()
{
    const int index = cmbColumns->findText(cmbColumns->currentText());
    if (index < 0)
        return;
    for (int i = 1; i <= 3; ++i)
        img1Col[size_t(i)]->setVisible(i == index + 1);
}

}
