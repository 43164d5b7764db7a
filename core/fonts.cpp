#include "core/fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

namespace lumrik {

QString RkFixedFontFamily(const QString &wanted)
{
    const QStringList installed = QFontDatabase::families();
    for (const QString &family : installed)
        if (!wanted.isEmpty() && family.compare(wanted, Qt::CaseInsensitive) == 0)
            return family;
    // Matched as the system matches a missing family, asking for fixed pitch.
    QFont f(wanted.isEmpty() ? QStringLiteral("monospace") : wanted);
    f.setStyleHint(QFont::TypeWriter, QFont::PreferMatch);
    f.setFixedPitch(true);
    const QFontInfo matched(f);
    if (matched.fixedPitch() && installed.contains(matched.family()))
        return matched.family();
    const QFontInfo system(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    if (system.fixedPitch() && installed.contains(system.family()))
        return system.family();
    for (const QString &family : installed)
        if (QFontDatabase::isFixedPitch(family) && !QFontDatabase::isPrivateFamily(family))
            return family;
    return matched.family();
}

QFont RkFontForDialog(const QString &wanted, int points)
{
    QFont f(RkFixedFontFamily(wanted));
    f.setPointSize(points > 0 ? points : 10);
    f.setStyleName(QFontInfo(f).styleName());
    return f;
}

}
