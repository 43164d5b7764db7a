// The libraries below the editor include none of its headers: the transfer
// windows, the file selector, the generators and core itself work on the
// program rules of core (the link is checked when the build is configured).
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

// "file: include" for every #include of `folder`'s sources that names one of `banned`.
QStringList includesOf(const QString &folder, const QStringList &banned)
{
    QStringList found;
    const QRegularExpression include(QStringLiteral("^\\s*#\\s*include\\s*\"([a-z0-9_]+)/[^\"]+\""),
                                     QRegularExpression::MultilineOption);
    QDirIterator it(QStringLiteral(LUMRIK_SOURCE_DIR "/") + folder, {"*.h", "*.cpp"}, QDir::Files);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(f.readAll());
        for (auto m = include.globalMatch(text); m.hasNext();) {
            const auto match = m.next();
            if (banned.contains(match.captured(1)))
                found << QFileInfo(path).fileName() + ": " + match.captured(0).trimmed();
        }
    }
    return found;
}

}

TEST(Layering, TheLibrariesBelowTheEditorIncludeNoneOfItsHeaders)
{
    // The scan itself finds what it looks for.
    ASSERT_FALSE(includesOf(QStringLiteral("mainwindow"), {QStringLiteral("documents")}).isEmpty());

    const QStringList editor = {QStringLiteral("documents"), QStringLiteral("ncops"), QStringLiteral("mainwindow")};
    for (const QString &folder : {QStringLiteral("dnc"), QStringLiteral("files"), QStringLiteral("generators")})
        EXPECT_EQ(includesOf(folder, editor), QStringList()) << folder.toStdString();
    EXPECT_EQ(includesOf(QStringLiteral("core"),
                         editor + QStringList{QStringLiteral("dnc"), QStringLiteral("files"), QStringLiteral("generators")}),
              QStringList());
}
