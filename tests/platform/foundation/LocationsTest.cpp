#include "Locations.h"
#include "LocalizedStrings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QString cacheParent() { return Locations::cacheHome() + QStringLiteral("/Orvane"); }

void touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("x");
}

TEST(TemporaryFolder, IsPrivateAndInsideTheCache)
{
    const QString path = Locations::temporaryFolder();
    ASSERT_FALSE(path.isEmpty());
    EXPECT_EQ(path, cacheParent() + QStringLiteral("/orvane"));
    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(TemporaryFolder, RefusesASymlink)
{
    const QString path = Locations::temporaryFolder();
    QDir(path).removeRecursively();
    QDir().mkpath((cacheParent() + QStringLiteral("/elsewhere")));
    ASSERT_TRUE(QFile::link((cacheParent() + QStringLiteral("/elsewhere")), path));
    EXPECT_TRUE(Locations::temporaryFolder().isEmpty());
    QFile::remove(path);
    EXPECT_FALSE(Locations::temporaryFolder().isEmpty());
}

TEST(TemporaryFolder, EmptyingKeepsTheKeepListAndDoesNotFollowLinks)
{
    const QString path = Locations::temporaryFolder();
    ASSERT_FALSE(path.isEmpty());
    const QString outside = cacheParent() + QStringLiteral("/outside");
    QDir().mkpath(outside);
    touch(outside + QStringLiteral("/precious"));
    touch(path + QStringLiteral("/a.sqlitedb"));
    QDir().mkpath(path + QStringLiteral("/sub/deeper"));
    touch(path + QStringLiteral("/sub/deeper/b"));
    touch(path + QStringLiteral("/keep-me"));
    touch(path + QStringLiteral("/registered"));
    ASSERT_TRUE(QFile::link(outside, path + QStringLiteral("/link")));

    Locations::keepInTemporaryFolder(QStringLiteral("registered"));
    EXPECT_TRUE(Locations::emptyTemporaryFolder({QStringLiteral("keep-me")}));
    Locations::forgetKeptInTemporaryFolder(QStringLiteral("registered"));

    const QStringList left = QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    EXPECT_EQ(left, QStringList({"keep-me", "registered"}));
    EXPECT_TRUE(QFile::exists(outside + QStringLiteral("/precious")));
    EXPECT_TRUE(Locations::emptyTemporaryFolder());
    EXPECT_TRUE(QDir(path).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
}

TEST(Locations, FollowXdgVariables)
{
    EXPECT_TRUE(Locations::backupRoot().endsWith("/Orvane/MobileSync/Backup"));
    EXPECT_TRUE(Locations::backupRoot().startsWith(Locations::dataHome()));
    EXPECT_EQ(Locations::savedPreferencesFolder("abc"), Locations::dataHome() + "/Orvane/saved-preferences/abc");
}

TEST(LocalizedStrings, ParsesTheTableFormat)
{
    const auto table = LocalizedStrings::parse(QStringLiteral(
        "/* comment \"X\" = \"no\"; */\n\"A\" = \"first\";\n// line comment\n\"B\"=\"with \\\"quotes\\\"\\n\";\n\"C\" = \"unterminated"));
    EXPECT_EQ(table.value("A"), QStringLiteral("first"));
    EXPECT_EQ(table.value("B"), QStringLiteral("with \"quotes\"\n"));
    EXPECT_FALSE(table.contains("X"));
    EXPECT_FALSE(table.contains("C"));
}

TEST(LocalizedStrings, MissingKeyShowsTheKey)
{
    EXPECT_EQ(L("APPNAME"), QStringLiteral("Orvane"));
    EXPECT_EQ(L("NO_SUCH_KEY_ANYWHERE"), QStringLiteral("NO_SUCH_KEY_ANYWHERE"));
}

} // namespace
