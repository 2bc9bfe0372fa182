// SPDX-License-Identifier: GPL-3.0-or-later
// The shortcut files (their names, content and replacement) and which
// addresses the category follows.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "Plist.h"
#include "QtPrinters.h"
#include "SafariShortcut.h"
#include "SafariUrlRules.h"

namespace {

QVariantMap readShortcut(const QString& path) { return Plist::readFile(path).toMap(); }

TEST(SafariShortcut, IsAnXmlListOfTheAddressNumberedOnTheNextSave)
{
    QTemporaryDir dir;
    const QString path = SafariShortcut::save(dir.path(), QStringLiteral("News"),
                                              QStringLiteral("https://example.org/ä"));
    EXPECT_EQ(path, dir.filePath(QStringLiteral("News.webloc")));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("<?xml"));
    EXPECT_EQ(readShortcut(path),
              (QVariantMap{{QStringLiteral("URL"), QStringLiteral("https://example.org/ä")}}));
    // Saving again never overwrites without asking: the new shortcut is numbered.
    const QString later = SafariShortcut::save(dir.path(), QStringLiteral("News"),
                                               QStringLiteral("https://example.org/later"));
    EXPECT_EQ(later, dir.filePath(QStringLiteral("News 1.webloc")));
    EXPECT_EQ(readShortcut(later).value(QStringLiteral("URL")),
              QStringLiteral("https://example.org/later"));
    EXPECT_EQ(readShortcut(path).value(QStringLiteral("URL")),
              QStringLiteral("https://example.org/ä"));
    QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    files.sort();
    EXPECT_EQ(files, (QStringList{"News 1.webloc", "News.webloc"}));
}

TEST(SafariShortcut, NamesStayInTheFolderWhateverTheTitle)
{
    struct Case {
        QString title;
        QString address;
        QString name;
    };
    const Case cases[] = {
        {"a/b", "https://example.org/", "a_b.webloc"},
        {"", "https://example.org/page", "example.org.webloc"},
        {"..", "https://example.org/", "example.org.webloc"},
        {"../../etc/passwd", "https://example.org/", "___.._etc_passwd.webloc"},
        {"", "javascript:alert(1)", "Shortcut.webloc"},
        {"  ", "file:///etc/passwd", "Shortcut.webloc"},
        {QString(300, QLatin1Char('x')), "https://example.org/",
         QString(248, QLatin1Char('x')) + ".webloc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title.toStdString());
        QTemporaryDir dir;
        const QString path = SafariShortcut::save(dir.path(), c.title, c.address);
        EXPECT_EQ(path, dir.filePath(c.name));
        EXPECT_EQ(readShortcut(path).value(QStringLiteral("URL")), c.address);
    }
}

TEST(SafariShortcut, ARunNumbersNamesThatClashAndKeepsAnEarlierRunsFiles)
{
    QTemporaryDir dir;
    SafariShortcut::Run first(dir.path());
    EXPECT_EQ(first.save(QStringLiteral("News"), QStringLiteral("https://a.example/")),
              dir.filePath(QStringLiteral("News.webloc")));
    SafariShortcut::Run second(dir.path());
    const QStringList paths = {
        second.save(QStringLiteral("News"), QStringLiteral("https://b.example/")),
        second.save(QStringLiteral("news"), QStringLiteral("https://c.example/")),
        second.save(QStringLiteral(""), QStringLiteral("x-app://open")),
        second.save(QStringLiteral(""), QStringLiteral("javascript:alert(1)")),
    };
    EXPECT_EQ(paths,
              (QStringList{dir.filePath("News 1.webloc"), dir.filePath("news.webloc"),
                           dir.filePath("open.webloc"), dir.filePath("Shortcut.webloc")}));
    EXPECT_EQ(readShortcut(paths[0]).value(QStringLiteral("URL")),
              QStringLiteral("https://b.example/"));
    EXPECT_EQ(readShortcut(dir.filePath("News.webloc")).value(QStringLiteral("URL")),
              QStringLiteral("https://a.example/"));
}

TEST(SafariShortcut, AFolderThatCannotBeWrittenGivesNoFile)
{
    QString error;
    EXPECT_TRUE(SafariShortcut::save(QStringLiteral("/proc/no-such-folder"), QStringLiteral("News"),
                                     QStringLiteral("https://a.example/"), &error)
                    .isEmpty());
    EXPECT_FALSE(error.isEmpty());
}

TEST(SafariUrlRules, OnlyWebAddressesAreFollowed)
{
    struct Case {
        const char* address;
        bool web;
    };
    const Case cases[] = {
        {"https://example.org/", true},
        {"http://example.org/path?q=1#top", true},
        {"HTTPS://EXAMPLE.ORG/", true},
        {"https://example.org/ä", true},
        {" https://example.org/ ", true},
        {"javascript:alert(1)", false},
        {"file:///etc/passwd", false},
        {"x-app://open", false},
        {"ftp://example.org/", false},
        {"data:text/html,<b>x</b>", false},
        {"https://", false},
        {"http:///no-host", false},
        {"example.org", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(SafariUrlRules::isWebAddress(QString::fromUtf8(c.address)), c.web);
    }
    EXPECT_TRUE(SafariUrlRules::isWebScheme(QUrl(QStringLiteral("https://cdn.example/x.css"))));
    EXPECT_FALSE(SafariUrlRules::isWebScheme(QUrl(QStringLiteral("file:///etc/passwd"))));
    EXPECT_FALSE(SafariUrlRules::isWebScheme(QUrl(QStringLiteral("qrc:/x"))));
}

} // namespace
