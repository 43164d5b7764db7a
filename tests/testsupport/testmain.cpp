// Test main: one QApplication for the whole program (offscreen platform), so
// that window tests and plain tests can share a binary. Every file a test run
// makes goes under one private folder of its own, removed at the end: home,
// desktop data (with the trash), settings, cache, temporary files and the
// session's runtime folder (where the editor's instance lock and hand-over
// socket live, so that test runs never meet each other or a real editor).
// LUMRIK_TEST stays set for the programs the tests start.
#include "core/services.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
void setFolder(const QTemporaryDir &root, const char *variable, const char *name)
{
    const QString path = root.path() + '/' + QLatin1String(name);
    QDir().mkpath(path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv(variable, QFile::encodeName(path));
}
}

int main(int argc, char **argv)
{
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/lumrik-test-XXXXXX"));
    if (!root.isValid())
        return 2;
    setFolder(root, "HOME", "home");
    setFolder(root, "XDG_DATA_HOME", "home/.local/share");
    setFolder(root, "XDG_CONFIG_HOME", "home/.config");
    setFolder(root, "XDG_CACHE_HOME", "home/.cache");
    setFolder(root, "XDG_STATE_HOME", "home/.local/state");
    setFolder(root, "XDG_RUNTIME_DIR", "runtime");
    setFolder(root, "TMPDIR", "tmp");
    qunsetenv("LUMRIK_DATA");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("LUMRIK_TEST", "1");
    QApplication app(argc, argv);
    // Qt's own file dialogs, and no splash wait.
    lumrik::testHooks().plainFileDialogs = true;
    lumrik::testHooks().splashWaitMs = 0;
#ifdef LUMRIK_TEST_PROGRAM
    // Plug-in libraries are checked by the editor's own program.
    lumrik::setRkProgramFile(QStringLiteral(LUMRIK_TEST_PROGRAM));
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
