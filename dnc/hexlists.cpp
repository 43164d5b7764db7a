#include "dnc/hexlists.h"

#include "core/codepage.h"
#include "core/errors.h"
#include "core/nctext.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <fcntl.h>

namespace lumrik {

namespace {

int hexDigit(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

// One or two hex digits once blanks are removed; -1 otherwise.
int strictCode(const QString &piece)
{
    QString p = piece;
    p.remove(' ');
    p.remove('\t');
    if (p.isEmpty() || p.size() > 2)
        return -1;
    int v = 0;
    for (QChar c : p) {
        const int d = hexDigit(c);
        if (d < 0)
            return -1;
        v = v * 16 + d;
    }
    return v;
}

QString malformed(const QString &value)
{
    return QStringLiteral("Felaktig hexkod: \"%1\"\r\n\r\n"
                          "Koderna skrivs med en eller två hexadecimala siffror (0-9, A-F) åtskilda med "
                          "komma, till exempel 0D,0A, eller som upprepning, till exempel (00*50).")
        .arg(value);
}

}

qint64 leadingHexValue(const QString &text)
{
    qint64 v = 0;
    for (QChar c : text) {
        const int d = hexDigit(c);
        if (d < 0)
            break;
        v = v * 16 + d;
        if (v > 0xFFFFFFFFLL)
            return -1;
    }
    return v;
}

QString RkParseHexData(QString &text)
{
    return RkGuard("RkParseHexData()", [&]() -> QString {
        const QString group = RkClipComment(text);
        if (!group.isEmpty())
            return group;
        QString t = text;
        t.remove(' ');
        t.remove(',');
        t = t.toUpper();
        if (t.size() == 1)
            t.prepend('0');
        QString out;
        out.reserve(t.size() + t.size() / 2);
        for (qsizetype i = 0; i < t.size(); i += 2) {
            if (i > 0)
                out += ',';
            out += t.mid(i, 2);
        }
        return out;
    });
}

QString RkParseHexString2String(QByteArray &out, const QString &text, const QString &separator)
{
    return RkGuard("RkParseHexString2String()", [&]() -> QString {
        out.clear();
        if (separator.isEmpty())
            throw RkError(kErrInvalidCall, QStringLiteral("Ogiltigt procedur-anrop eller argument"));
        const QStringList pieces = (separator + text + separator).split(separator);
        // The pieces between consecutive separators: all but the outer two.
        int n = 0;
        for (qsizetype i = 1; i + 1 < pieces.size(); ++i) {
            const qint64 v = leadingHexValue(pieces[i]);
            if (v < 0)
                throw RkError(kErrOverflow, QStringLiteral("Spill"));
            if (v > 255)
                throw RkError(kErrInvalidCall, QStringLiteral("Ogiltigt procedur-anrop eller argument"));
            out.append(char(v));
            ++n;
        }
        return QString::number(n);
    });
}

void RkFixMultiChrs(QByteArray &out, QString &text)
{
    RkGuard("RkFixMultiChrs()", [&] {
        text.remove('(');
        text.remove(')');
        const qsizetype star = text.indexOf('*');
        if (star < 0)
            throw RkError(kErrInvalidCall, QStringLiteral("Ogiltigt procedur-anrop eller argument"));
        const qint64 code = leadingHexValue(text.left(star));
        // The count: a decimal number, blanks ignored, up to its first other character.
        QString rest = text.mid(star + 1).trimmed();
        bool negative = false;
        if (rest.startsWith('-')) {
            negative = true;
            rest.remove(0, 1);
        } else if (rest.startsWith('+')) {
            rest.remove(0, 1);
        }
        qint64 count = 0;
        for (QChar c : rest) {
            if (c == ' ')
                continue;
            if (c < '0' || c > '9')
                break;
            count = count * 10 + (c.unicode() - '0');
            if (count > 32768)
                break;
        }
        if (negative)
            count = -count;
        if (count > 32767 || count < -32768)
            throw RkError(kErrOverflow, QStringLiteral("Spill"));
        if (code < 0 || code > 255 || count < 0)
            throw RkError(kErrInvalidCall, QStringLiteral("Ogiltigt procedur-anrop eller argument"));
        out = QByteArray(qsizetype(count), char(code));
    });
}

bool RkSetCommTimeouts(qintptr handle, qint32 writeTimeoutMs)
{
    return RkGuard("RkSetCommTimeouts()", [&]() -> bool {
        Q_UNUSED(writeTimeoutMs);
        if (handle == 0)
            return false;
        return ::fcntl(int(handle), F_GETFD) != -1;
    });
}

void RkShowData(QPlainTextEdit *box, const QByteArray &text)
{
    RkGuard("RkShowData()", [&] {
        if (!box || text.isEmpty())
            return;
        // CR LF (and a CR before it) end a line; lone CRs and NULs show nothing.
        QByteArray shown;
        shown.reserve(text.size());
        for (char c : text) {
            if (c == '\r' || c == '\0')
                continue;
            shown.append(c);
        }
        if (shown.isEmpty())
            return;
        QTextDocument *doc = box->document();
        const int length = doc->characterCount() - 1;
        QTextCursor cur(doc);
        if (length > 2048) {
            cur.setPosition(0);
            cur.setPosition(1024, QTextCursor::KeepAnchor);
            cur.insertText(QStringLiteral(" "));
        }
        cur.movePosition(QTextCursor::End);
        cur.insertText(bytesToDisplay(shown));
        box->setTextCursor(cur);
        box->ensureCursorVisible();
    });
}

std::optional<QByteArray> expandHexList(const QString &value, QString *error)
{
    if (value.trimmed().isEmpty())
        return QByteArray();
    QByteArray out;
    for (const QString &piece : value.split(',')) {
        const int v = strictCode(piece);
        if (v < 0) {
            if (error)
                *error = malformed(value);
            return std::nullopt;
        }
        out.append(char(v));
    }
    return out;
}

std::optional<QByteArray> expandHexCodes(const QString &value, QString *error)
{
    if (value.trimmed().isEmpty())
        return QByteArray();
    QString line = value;
    QString group = RkClipComment(line);
    if (group.isEmpty())
        return expandHexList(value, error);
    group.remove('(');
    group.remove(')');
    const qsizetype star = group.indexOf('*');
    bool ok = star > 0;
    int code = ok ? strictCode(group.left(star)) : -1;
    QString countText = ok ? group.mid(star + 1).trimmed() : QString();
    int count = -1;
    if (code >= 0 && !countText.isEmpty() && countText.size() <= 5) {
        bool digits = true;
        for (QChar c : countText)
            digits = digits && c >= '0' && c <= '9';
        if (digits)
            count = countText.toInt();
    }
    if (code < 0 || count < 0 || count > 32767) {
        if (error)
            *error = malformed(value);
        return std::nullopt;
    }
    return QByteArray(count, char(code));
}

std::optional<unsigned char> parseHexCode(const QString &value, QString *error)
{
    if (value.trimmed().isEmpty())
        return 0;
    const int v = strictCode(value.section(',', 0, 0));
    if (v < 0) {
        if (error)
            *error = malformed(value);
        return std::nullopt;
    }
    return static_cast<unsigned char>(v);
}

}
