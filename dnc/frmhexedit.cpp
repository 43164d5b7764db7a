#include "dnc/frmhexedit.h"

#include "core/codepage.h"
#include "core/errors.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeWidget>

namespace lumrik {

QList<HexCodeRow> hexCodeRows()
{
    static const char *const names[32] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                          "BS",  "TAB", "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                          "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                          "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
    QList<HexCodeRow> rows;
    rows.reserve(256);
    for (int code = 0; code < 256; ++code) {
        HexCodeRow r;
        r.hex = QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper();
        r.character = bytesToDisplay(QByteArray(1, char(code)));
        if (code < 32)
            r.description = QString::fromLatin1(names[code]);
        rows.append(r);
    }
    return rows;
}

std::optional<HexEditLayout> hexEditLayout(int innerWidth, int innerHeight, int buttonWidth, int buttonHeight)
{
    if (innerWidth <= 200)
        return std::nullopt;
    HexEditLayout l;
    l.list = QRect(60, 60, innerWidth - 120, std::max(0, innerHeight - 700));
    const int top = std::max(0, std::min(innerHeight - 500, innerHeight - buttonHeight));
    l.button = QRect(innerWidth / 2 - buttonWidth / 2, top, buttonWidth, buttonHeight);
    return l;
}

namespace {
// Control codes have no glyph of their own; the table shows the Unicode
// picture of each (the row keeps the character itself).
class ControlPictureDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant &value, const QLocale &locale) const override
    {
        const QString t = value.toString();
        if (t.size() == 1) {
            const ushort u = t.at(0).unicode();
            if (u < 32)
                return QString(QChar(0x2400 + u));
            if (u == 127)
                return QString(QChar(0x2421));
        }
        return QStyledItemDelegate::displayText(value, locale);
    }
};
}

frmHexEdit::frmHexEdit(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmHexEdit"));
    setWindowTitle(QStringLiteral("Hex koder"));
    setModal(true);

    lvHex = new QTreeWidget(this);
    lvHex->setObjectName(QStringLiteral("lvHex"));
    lvHex->setRootIsDecorated(false);
    lvHex->setUniformRowHeights(true);
    lvHex->setAllColumnsShowFocus(true);
    lvHex->setColumnCount(3);
    lvHex->setHeaderLabels({QStringLiteral("Hex"), QStringLiteral("Tecken"), QStringLiteral("Beskrivning")});
    lvHex->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    lvHex->setItemDelegateForColumn(1, new ControlPictureDelegate(lvHex));

    cmdClose = new QPushButton(QStringLiteral("Stäng"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);
    cmdClose->setAutoDefault(true);
    cmdClose->resize(toPixelsX(1215), toPixelsY(375));
    connect(cmdClose, &QPushButton::clicked, this, &frmHexEdit::cmdClose_Click);

    lvHex->setColumnWidth(0, toPixelsX(1000));
    lvHex->setColumnWidth(1, toPixelsX(1200));
    lvHex->setColumnWidth(2, toPixelsX(2000));

    resize(toPixelsX(5460), toPixelsY(3630));
    Form_Load();
}

int frmHexEdit::toPixelsX(int twips) const { return qRound(twips * logicalDpiX() / 1440.0); }
int frmHexEdit::toPixelsY(int twips) const { return qRound(twips * logicalDpiY() / 1440.0); }
int frmHexEdit::toTwipsX(int pixels) const { return qRound(pixels * 1440.0 / logicalDpiX()); }
int frmHexEdit::toTwipsY(int pixels) const { return qRound(pixels * 1440.0 / logicalDpiY()); }

void frmHexEdit::Form_Load()
{
    RkGuard("frmHexEdit.Form_Load()", [&] {
        lvHex->clear();
        QList<QTreeWidgetItem *> items;
        for (const HexCodeRow &r : hexCodeRows())
            items.append(new QTreeWidgetItem(QStringList{r.hex, r.character, r.description}));
        lvHex->addTopLevelItems(items);
    });
}

void frmHexEdit::Form_Resize()
{
    const auto l = hexEditLayout(toTwipsX(width()), toTwipsY(height()), toTwipsX(cmdClose->width()),
                                 toTwipsY(cmdClose->height()));
    if (!l)
        return;
    lvHex->setGeometry(toPixelsX(l->list.x()), toPixelsY(l->list.y()), toPixelsX(l->list.width()),
                       toPixelsY(l->list.height()));
    cmdClose->move(toPixelsX(l->button.x()), toPixelsY(l->button.y()));
}

void frmHexEdit::resizeEvent(QResizeEvent *e)
{
    QDialog::resizeEvent(e);
    Form_Resize();
}

void frmHexEdit::cmdClose_Click() { accept(); }

}
