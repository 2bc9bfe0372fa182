// SPDX-License-Identifier: GPL-3.0-or-later
// The shortcut files (their names, content and replacement) and which
// addresses the category follows.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include "Plist.h"
#include "QtPrinters.h"
#include "SafariShortcut.h"
#include "SafariUrlRules.h"

namespace {

// The keys of a link file's [Desktop Entry] group, values unescaped.
QMap<QString, QString> readShortcut(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QMap<QString, QString> keys;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    EXPECT_EQ(lines.value(0), QStringLiteral("[Desktop Entry]"));
    for (const QString& line : lines.mid(1)) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        QString value;
        const QString raw = line.mid(equals + 1);
        for (qsizetype k = 0; k < raw.size(); ++k) {
            if (raw[k] == QLatin1Char('\\') && k + 1 < raw.size()) {
                const QChar next = raw[++k];
                value += next == QLatin1Char('n') ? QStringLiteral("\n")
                    : next == QLatin1Char('t')    ? QStringLiteral("\t")
                    : next == QLatin1Char('r')    ? QStringLiteral("\r")
                    : next == QLatin1Char('s')    ? QStringLiteral(" ")
                                                  : QString(next);
            } else {
                value += raw[k];
            }
        }
        keys.insert(line.left(equals), value);
    }
    return keys;
}

// What desktop-file-validate says of a file: empty when it is valid.
QString validatorComplaints(const QString& path)
{
    QProcess validate;
    validate.start(QStringLiteral("desktop-file-validate"), {path});
    if (!validate.waitForFinished(30000))
        return QStringLiteral(
            "desktop-file-validate did not run (scripts/install-deps installs it)");
    const QString out =
        QString::fromUtf8(validate.readAllStandardOutput() + validate.readAllStandardError());
    return validate.exitCode() == 0 && !out.contains(QLatin1String("error")) ? QString() : out;
}

TEST(SafariShortcut, IsALinkFileNumberedOnTheNextSave)
{
    QTemporaryDir dir;
    const QString path = SafariShortcut::save(dir.path(), QStringLiteral("News"),
                                              QStringLiteral("https://example.org/ä"));
    EXPECT_EQ(path, dir.filePath(QStringLiteral("News.desktop")));
    const QMap<QString, QString> keys = readShortcut(path);
    EXPECT_EQ(keys.value("Type"), QStringLiteral("Link"));
    EXPECT_EQ(keys.value("Name"), QStringLiteral("News"));
    EXPECT_EQ(QUrl(keys.value("URL")), QUrl(QStringLiteral("https://example.org/ä")));
    EXPECT_EQ(validatorComplaints(path), QString());
    // Saving again never overwrites without asking: the new shortcut is numbered.
    const QString later = SafariShortcut::save(dir.path(), QStringLiteral("News"),
                                               QStringLiteral("https://example.org/later"));
    EXPECT_EQ(later, dir.filePath(QStringLiteral("News 1.desktop")));
    EXPECT_EQ(readShortcut(later).value(QStringLiteral("URL")),
              QStringLiteral("https://example.org/later"));
    EXPECT_EQ(QUrl(readShortcut(path).value(QStringLiteral("URL"))),
              QUrl(QStringLiteral("https://example.org/ä")));
    QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    files.sort();
    EXPECT_EQ(files, (QStringList{"News 1.desktop", "News.desktop"}));
}

TEST(SafariShortcut, NamesStayInTheFolderAndHostileTitlesStayValid)
{
    struct Case {
        QString title;
        QString address;
        QString name;
        QString shownName;
    };
    const Case cases[] = {
        {"a/b", "https://example.org/", "a_b.desktop", "a/b"},
        {"", "https://example.org/page", "example.org.desktop", "example.org"},
        {"..", "https://example.org/", "example.org.desktop", ".."},
        {"../../etc/passwd", "https://example.org/", "___.._etc_passwd.desktop",
         "../../etc/passwd"},
        {"line\nbreak\\ and [Group]\nExec=rm -rf ~", "http://example.org/x?a=1&b=2",
         "line break_ and [Group] Exec=rm -rf ~.desktop",
         "line\nbreak\\ and [Group]\nExec=rm -rf ~"},
        {QString::fromUtf8("Zürich \x01\x7f caf\xc3\xa9"), "https://example.org/",
         QString::fromUtf8("Zürich __ caf\xc3\xa9.desktop"),
         QString::fromUtf8("Zürich  caf\xc3\xa9")},
        {QString(300, QLatin1Char('x')), "https://example.org/",
         QString(247, QLatin1Char('x')) + ".desktop", QString(300, QLatin1Char('x'))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title.toStdString());
        QTemporaryDir dir;
        const QString path = SafariShortcut::save(dir.path(), c.title, c.address);
        ASSERT_FALSE(path.isEmpty());
        EXPECT_EQ(QFileInfo(path).dir().absolutePath(), QDir(dir.path()).absolutePath());
        const QMap<QString, QString> keys = readShortcut(path);
        EXPECT_EQ(QUrl(keys.value("URL")), QUrl(c.address));
        EXPECT_EQ(keys.value("Name"), c.shownName);
        EXPECT_FALSE(keys.contains("Exec"));
        EXPECT_EQ(validatorComplaints(path), QString());
    }
}

TEST(SafariShortcut, OtherSchemesAreRefused)
{
    for (const char* address : {"javascript:alert(1)", "file:///etc/passwd", "x-app://open",
                                "ftp://example.org/", "", "https://"}) {
        SCOPED_TRACE(address);
        QTemporaryDir dir;
        QString error;
        EXPECT_FALSE(SafariShortcut::canSave(QString::fromUtf8(address)));
        EXPECT_TRUE(
            SafariShortcut::save(dir.path(), "News", QString::fromUtf8(address), &error).isEmpty());
        EXPECT_TRUE(error.contains("http")) << error.toStdString();
        EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }
}

TEST(SafariShortcut, ARunNumbersNamesThatClashAndKeepsAnEarlierRunsFiles)
{
    QTemporaryDir dir;
    SafariShortcut::Run first(dir.path());
    EXPECT_EQ(first.save(QStringLiteral("News"), QStringLiteral("https://a.example/")),
              dir.filePath(QStringLiteral("News.desktop")));
    SafariShortcut::Run second(dir.path());
    const QStringList paths = {
        second.save(QStringLiteral("News"), QStringLiteral("https://b.example/")),
        second.save(QStringLiteral("news"), QStringLiteral("https://c.example/")),
        second.save(QStringLiteral(""), QStringLiteral("https://open.example/")),
    };
    EXPECT_EQ(paths,
              (QStringList{dir.filePath("News 1.desktop"), dir.filePath("news.desktop"),
                           dir.filePath("open.example.desktop")}));
    EXPECT_EQ(readShortcut(paths[0]).value(QStringLiteral("URL")),
              QStringLiteral("https://b.example/"));
    EXPECT_EQ(readShortcut(dir.filePath("News.desktop")).value(QStringLiteral("URL")),
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
