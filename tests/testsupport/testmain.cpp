// Test main: one QApplication for the whole program (offscreen platform), so
// that window tests and plain tests can share a binary.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The test program's own home, XDG folders and temporary folder: nothing a
// test does (a trash, a settings file, a socket) reaches the user's folders or
// the checkout, and test programs of different checkouts never meet.
void useSandbox(const QTemporaryDir &box)
{
    const QString root = box.path();
    const struct {
        const char *variable;
        const char *folder;
    } places[] = {{"HOME", "home"},
                  {"XDG_DATA_HOME", "home/.local/share"},
                  {"XDG_CONFIG_HOME", "home/.config"},
                  {"XDG_CACHE_HOME", "home/.cache"},
                  {"XDG_STATE_HOME", "home/.local/state"},
                  {"XDG_RUNTIME_DIR", "run"},
                  {"TMPDIR", "tmp"}};
    for (const auto &p : places) {
        const QString path = root + '/' + QLatin1String(p.folder);
        QDir().mkpath(path);
        qputenv(p.variable, QFile::encodeName(path));
    }
    QFile::setPermissions(root + "/run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("LUMRIK_TEST", "1");
    QTemporaryDir sandbox(QDir::tempPath() + "/lumrik-test-XXXXXX");
    if (sandbox.isValid())
        useSandbox(sandbox);
    int result = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
