#include "mainwindow/recentfiles.h"

#include "core/inifile.h"

namespace lumrik {

QStringList addToMru(const QStringList &list, const QString &file)
{
    QStringList l = list;
    while (l.size() < kMruCount)
        l << QString();
    l = l.mid(0, kMruCount);
    int k = -1;
    for (int i = 0; i < kMruCount; ++i)
        if (l[i] == file) {
            k = i;
            break;
        }
    if (k == 0)
        return l;
    const int from = k > 0 ? k : kMruCount - 1;
    for (int j = from; j >= 1; --j)
        l[j] = l[j - 1];
    l[0] = file;
    return l;
}

QStringList loadMruList()
{
    QStringList l;
    for (int i = 0; i < kMruCount; ++i)
        l << GetIniSetting(QStringLiteral("Recent Files"), QStringLiteral("MRU%1").arg(i));
    return l;
}

void saveMruList(const QStringList &list)
{
    for (int i = 0; i < kMruCount; ++i)
        SaveIniSetting(QStringLiteral("Recent Files"), QStringLiteral("MRU%1").arg(i), list.value(i));
}

}
