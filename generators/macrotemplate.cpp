#include "generators/macrotemplate.h"

#include "core/codepage.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/paths.h"
#include "core/nctext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cmath>
#include <string>

namespace lumrik {

namespace {

// Template files are small; anything beyond this is not a template.
constexpr qint64 kMaxTemplateBytes = 32 * 1024 * 1024;

}

QString ExtractBracketValue(QString &text)
{
    const qsizetype open = text.indexOf(u'[');
    if (open < 0)
        return {};
    const qsizetype close = text.indexOf(u']', open + 1);
    if (close < 0) {
        const QString value = text.mid(open);
        text = text.left(open);
        return value;
    }
    const QString value = text.mid(open + 1, close - open - 1);
    text = text.left(open) + text.mid(close + 1);
    return value;
}

MacroHeader parseMacroHeader(const QStringList &lines)
{
    MacroHeader h;
    for (const QString &line : lines) {
        const QString trimmed = trimSpaces(line);
        if (trimmed.startsWith(QLatin1String("//"))) {
            h.separator = true;
            break;
        }
        const bool comment = trimmed.startsWith(u'\'');
        QString searched = line; // where a picture name is looked for
        if (!comment) {
            const qsizetype at = line.indexOf(QLatin1String(">="));
            if (at >= 0) {
                QString text = trimSpaces(line.mid(at + 2));
                const QString value = ExtractBracketValue(text);
                const QString label = trimSpaces(text);
                if (!label.isEmpty()) {
                    if (h.fields.size() < kMacroFields)
                        h.fields.append({label, value});
                    else
                        ++h.ignoredPrompts;
                }
                searched = label;
            }
        }
        const qsizetype pic = searched.indexOf(QLatin1String("BILDFIL="), 0, Qt::CaseInsensitive);
        if (pic >= 0) {
            const QString name = trimSpaces(searched.mid(pic + 8));
            if (!name.isEmpty())
                h.pictures.append(name);
        }
    }
    return h;
}

bool readMacroLines(const QString &path, QStringList &lines, QString *error)
{
    lines.clear();
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = RkFileErrorText(f);
        return false;
    }
    if (f.size() > kMaxTemplateBytes) {
        if (error)
            *error = QStringLiteral("för stor");
        return false;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        if (error)
            *error = RkFileErrorText(f);
        return false;
    }
    lines = splitTextLines(fromCp1252(bytes));
    return true;
}

QString resolveFolderNoCase(const QString &base, const QString &relative)
{
    QString path = RkNativePath(base);
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    QString rel = relative;
    rel.replace(u'\\', u'/');
    const QStringList parts = rel.split(u'/', Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        if (part == QLatin1String("."))
            continue;
        const QString next = path + u'/' + part;
        path = (part == QLatin1String("..")) ? next : findFileNoCase(next);
    }
    return path;
}

QString macroFolder(const QString &ncmPath)
{
    return resolveFolderNoCase(gsDataPath, ncmPath);
}

QList<MacroTemplateFile> listMacroTemplates(const QString &folder)
{
    QList<MacroTemplateFile> out;
    QDir dir(folder);
    QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    for (const QString &n : names) {
        if (!RkMatchPattern(n, QStringLiteral("*.NCM")))
            continue;
        QString shown = n.toUpper();
        const qsizetype cut = shown.indexOf(QLatin1String(".NCM"));
        if (cut >= 0)
            shown.truncate(cut);
        out.append({shown, dir.filePath(n)});
    }
    return out;
}

std::optional<double> readUserNumber(const QString &text)
{
    const QString t = text.trimmed();
    std::string s;
    s.reserve(size_t(t.size()));
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) {
        negative = t[i] == u'-';
        ++i;
    }
    int digits = 0;
    bool point = false;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c >= u'0' && c <= u'9') {
            s += char(c.unicode());
            ++digits;
        } else if ((c == u'.' || c == u',') && !point) {
            s += '.';
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
        s += 'e';
        ++i;
        if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
            s += char(t[i++].unicode());
        int expDigits = 0;
        for (; i < t.size() && t[i] >= u'0' && t[i] <= u'9'; ++i, ++expDigits)
            s += char(t[i].unicode());
        if (expDigits == 0)
            return std::nullopt;
    }
    if (i != t.size())
        return std::nullopt;
    double v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ptr != s.data() + s.size())
        return std::nullopt;
    if (r.ec == std::errc::result_out_of_range) {
        // Too small to hold reads as 0; too big is no number. The size is the
        // place of the first significant digit and the exponent.
        const size_t ePos = s.find('e');
        const std::string mantissa = s.substr(0, ePos);
        long long exponent = 0;
        if (ePos != std::string::npos)
            exponent = std::clamp(std::strtoll(s.c_str() + ePos + 1, nullptr, 10), -100000LL, 100000LL);
        const size_t dot = std::min(mantissa.find('.'), mantissa.size());
        const size_t firstDigit = mantissa.find_first_of("123456789");
        if (firstDigit == std::string::npos)
            return 0.0;
        // The first significant digit stands for 10^(place - 1).
        const long long place =
            firstDigit < dot ? (long long)(dot - firstDigit) : 1 - (long long)(firstDigit - dot);
        if (place + exponent > 0)
            return std::nullopt;
        return 0.0;
    }
    if (!std::isfinite(v))
        return std::nullopt;
    return negative ? -v : v;
}

QString formatGeneralNumber(double value, int decimals)
{
    if (!std::isfinite(value))
        return value != value ? QStringLiteral("0") : (value < 0 ? QStringLiteral("-Inf") : QStringLiteral("Inf"));
    if (value == 0)
        return QStringLiteral("0");
    decimals = std::clamp(decimals, 0, 15);
    // 15 significant digits: "d.dddddddddddddde+XX".
    const QString e = QString::number(std::fabs(value), 'e', 14);
    const qsizetype ePos = e.indexOf(u'e');
    QString digits = e.left(1) + e.mid(2, ePos - 2);
    int point = e.mid(ePos + 1).toInt() + 1; // digits before the decimal point
    const int keep = point + decimals;
    if (keep < digits.size()) {
        if (keep < 0)
            return QStringLiteral("0");
        const QString rest = digits.mid(keep);
        QString kept = digits.left(keep);
        bool up = rest[0] > u'5';
        if (rest[0] == u'5') {
            bool beyond = false;
            for (qsizetype k = 1; k < rest.size(); ++k)
                beyond = beyond || rest[k] != u'0';
            const bool odd = !kept.isEmpty() && (kept.back().unicode() - '0') % 2 == 1;
            up = beyond || odd;
        }
        if (up) {
            qsizetype k = kept.size() - 1;
            while (k >= 0 && kept[k] == u'9') {
                kept[k] = u'0';
                --k;
            }
            if (k >= 0) {
                kept[k] = QChar(kept[k].unicode() + 1);
            } else {
                kept.prepend(u'1');
                ++point;
            }
        }
        digits = kept;
    }
    // Strip trailing zeros of the fraction.
    while (digits.size() > std::max(point, 0) && digits.endsWith(u'0'))
        digits.chop(1);
    if (digits.isEmpty() || digits.count(u'0') == digits.size())
        return QStringLiteral("0");
    QString out;
    if (point > 15) {
        // Beyond 15 whole digits: mantissa and exponent.
        while (digits.size() > 1 && digits.endsWith(u'0'))
            digits.chop(1);
        out = digits.left(1);
        if (digits.size() > 1)
            out += u'.' + digits.mid(1);
        out += QStringLiteral("E+") + QString::number(point - 1);
    } else if (point <= 0) {
        out = QStringLiteral("0.") + QString(-point, u'0') + digits;
    } else if (point >= digits.size()) {
        out = digits + QString(point - digits.size(), u'0');
    } else {
        out = digits.left(point) + u'.' + digits.mid(point);
    }
    return value < 0 ? u'-' + out : out;
}

}
