// Large pages: reading the system's transparent huge pages setting, and the
// environment given back on the start that asked for them.
#include "core/largepages.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

// An environment variable as it was, given back when this goes.
class KeptVariable {
public:
    explicit KeptVariable(const char *name) : name_(name), set_(qEnvironmentVariableIsSet(name)), value_(qgetenv(name)) {}
    ~KeptVariable()
    {
        if (set_)
            qputenv(name_, value_);
        else
            qunsetenv(name_);
    }
    KeptVariable(const KeptVariable &) = delete;
    KeptVariable &operator=(const KeptVariable &) = delete;

private:
    const char *name_;
    bool set_;
    QByteArray value_;
};

}

TEST(LargePages, TheSettingIsTheOneInBrackets)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto settingOf = [&](const QByteArray &contents) {
        const QString path = dir.filePath(QStringLiteral("enabled"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(contents);
        f.close();
        return QByteArray(transparentHugePages(QFile::encodeName(path).constData()));
    };
    EXPECT_EQ(settingOf("always [madvise] never\n"), "madvise");
    EXPECT_EQ(settingOf("[always] madvise never\n"), "always");
    EXPECT_EQ(settingOf("always madvise [never]\n"), "never");
    EXPECT_EQ(settingOf("always [madvise] never"), "madvise"); // without a line end
    // Nothing chosen, or nothing that can be read: unknown.
    EXPECT_EQ(settingOf(""), "");
    EXPECT_EQ(settingOf("always madvise never\n"), "");
    EXPECT_EQ(settingOf("[madvise never\n"), "");
    EXPECT_EQ(settingOf("[sometimes] [\n"), "");
    EXPECT_EQ(settingOf(QByteArray("\0\xff[", 3)), "");
    EXPECT_EQ(QByteArray(transparentHugePages(QFile::encodeName(dir.filePath("none")).constData())), "");
    EXPECT_EQ(QByteArray(transparentHugePages(QFile::encodeName(dir.path()).constData())), ""); // a folder
}

// The second start gives the programs it starts the C library settings the
// first one was started with: none at all, some, or an empty value; and the
// mark of the second start goes. (The settings asked for large pages on the
// first start, so nothing here can lead to a start of its own.)
TEST(LargePages, TheSecondStartGivesTheEnvironmentBack)
{
    KeptVariable tunables("GLIBC_TUNABLES"), started("LUMRIK_LARGE_PAGES");
    char name[] = "lumrik";
    char *argv[] = {name, nullptr};

    qputenv("GLIBC_TUNABLES", "glibc.malloc.hugetlb=1");
    qputenv("LUMRIK_LARGE_PAGES", "-");
    startWithLargePages(argv);
    EXPECT_FALSE(qEnvironmentVariableIsSet("GLIBC_TUNABLES"));
    EXPECT_FALSE(qEnvironmentVariableIsSet("LUMRIK_LARGE_PAGES"));

    qputenv("GLIBC_TUNABLES", "glibc.malloc.check=3:glibc.malloc.hugetlb=1");
    qputenv("LUMRIK_LARGE_PAGES", "=glibc.malloc.check=3");
    startWithLargePages(argv);
    EXPECT_EQ(qgetenv("GLIBC_TUNABLES"), "glibc.malloc.check=3");
    EXPECT_FALSE(qEnvironmentVariableIsSet("LUMRIK_LARGE_PAGES"));

    qputenv("GLIBC_TUNABLES", "glibc.malloc.hugetlb=1");
    qputenv("LUMRIK_LARGE_PAGES", "=");
    startWithLargePages(argv);
    EXPECT_TRUE(qEnvironmentVariableIsSet("GLIBC_TUNABLES"));
    EXPECT_EQ(qgetenv("GLIBC_TUNABLES"), "");
    EXPECT_FALSE(qEnvironmentVariableIsSet("LUMRIK_LARGE_PAGES"));
}
