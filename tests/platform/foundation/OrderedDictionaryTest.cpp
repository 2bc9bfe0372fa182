#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "OrderedDictionary.h"
#include "Plist.h"

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray golden(const char* name)
{
    return readAll(QStringLiteral(ORVANE_TEST_DATA "/") + QLatin1String(name));
}

QVariant ordered(std::initializer_list<std::pair<QString, QVariant>> entries)
{
    OrderedDictionary dictionary;
    for (const auto& [key, value] : entries)
        dictionary.setObjectForKey(value, key);
    return QVariant::fromValue(dictionary);
}

OrderedDictionary playlistFile()
{
    OrderedDictionary root;
    root.setObjectForKey(
        ordered({{"101",
                  ordered({
                      {"Track ID", 101},
                      {"Name", QStringLiteral("Rock & Roll <Live>")},
                      {"Artist", QString::fromUtf8("Motörhead")},
                      {"Rating", 2.5},
                      {"Compilation", true},
                      {"Date Added", QDateTime(QDate(2020, 1, 2), QTime(3, 4), Qt::UTC)},
                      {"Kind", QString::fromUtf8("MPEG\x01 audio\xef\xbf\xbf")},
                  })}}),
        QStringLiteral("Tracks"));
    const QVariantList playlists{ordered({
        {"Name", QString::fromUtf8("Ünïcødé 🎵 & <friends>") + QChar(0xd800)},
        {"Playlist Items", QVariantList{QVariantMap{{"Track ID", 101}}}},
        {"Empty", QVariantList()},
    })};
    root.setObjectForKey(playlists, QStringLiteral("Playlists"));
    root.setObjectForKey(QStringLiteral("x"), QStringLiteral("Key <&>"));
    root.setObjectForKey(qint64(-9007199254740993LL), QStringLiteral("Big"));
    root.setObjectForKey(QByteArray("\x89PNG", 4), QStringLiteral("Artwork"));
    return root;
}

TEST(OrderedDictionaryWriter, WritesTheFixedLayoutWithEscapedText)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("simple.plist"));
    OrderedDictionary root;
    root.setObjectForKey(QStringLiteral("A&B"), QStringLiteral("Name"));
    root.setObjectForKey(QVariantList{ordered({{"K", 5}})}, QStringLiteral("List"));
    ASSERT_TRUE(root.writeToFileAtomically(path, true));
    EXPECT_EQ(readAll(path), golden("OrderedDictionarySimple.plist"));
}

TEST(OrderedDictionaryWriter, PlaylistFileMatchesGoldenAndParsesBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Playlists.xml"));
    OrderedDictionary root = playlistFile();
    ASSERT_TRUE(root.writeToFileAtomically(path, false));
    const QByteArray written = readAll(path);
    EXPECT_EQ(written, golden("OrderedDictionaryPlaylist.plist"));

    // Text is well-formed XML: a parser gets the names back as they were.
    QXmlStreamReader xml(written);
    QStringList texts;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement
            && (xml.name() == QLatin1String("key") || xml.name() == QLatin1String("string")))
            texts << xml.readElementText();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("Rock & Roll <Live>")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Key <&>")));
    EXPECT_TRUE(texts.contains(QString::fromUtf8("Ünïcødé 🎵 & <friends>")));

    // The level is back at 0: a second write gives the same bytes.
    ASSERT_TRUE(root.writeToFileAtomically(path, true));
    EXPECT_EQ(readAll(path), written);
}

TEST(OrderedDictionaryWriter, PropertyListReadersTakeEscapedNames)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("names.plist"));
    const QString hostile =
        QString::fromUtf8("AC/DC & <Friends> \"Live\" 'n' Ünïcødé 🎵") + QChar(0x1b) + QChar(0xdc00);
    OrderedDictionary root;
    root.setObjectForKey(hostile, hostile);
    root.setObjectForKey(QVariantList{QStringLiteral("&amp;"), 7, false}, QStringLiteral("List"));
    ASSERT_TRUE(root.writeToFileAtomically(path, true));
    QString error;
    const QVariantMap back = Plist::readFile(path, &error).toMap();
    ASSERT_FALSE(back.isEmpty()) << error.toStdString();
    const QString clean = QString::fromUtf8("AC/DC & <Friends> \"Live\" 'n' Ünïcødé 🎵");
    EXPECT_EQ(back.value(clean).toString(), clean);
    const QVariantList list = back.value(QStringLiteral("List")).toList();
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list.at(0).toString(), QStringLiteral("&amp;"));
    EXPECT_EQ(list.at(1).toLongLong(), 7);
    EXPECT_EQ(list.at(2).toLongLong(), 0);
}

TEST(OrderedDictionaryWriter, UnwritablePathAnswersNoAndKeepsWhatIsThere)
{
    QTemporaryDir dir;
    OrderedDictionary root;
    root.setObjectForKey(QStringLiteral("v"), QStringLiteral("k"));
    EXPECT_FALSE(
        root.writeToFileAtomically(dir.filePath(QStringLiteral("missing/folder/x.plist")), true));
    QDir(dir.path()).mkdir(QStringLiteral("folder"));
    EXPECT_FALSE(root.writeToFileAtomically(dir.filePath(QStringLiteral("folder")), true));
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("folder"))).isDir());
}

TEST(OrderedDictionaryWriter, ReplacesAnEarlierFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.plist"));
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(10000, 'o'));
    old.close();
    OrderedDictionary root;
    root.setObjectForKey(1, QStringLiteral("k"));
    ASSERT_TRUE(root.writeToFileAtomically(path, true));
    EXPECT_TRUE(readAll(path).startsWith("<?xml"));
    EXPECT_FALSE(readAll(path).contains('o' + QByteArray("ooo")));
}

QStringList keys(const OrderedDictionary& d) { return d.keyEnumerator(); }

TEST(OrderedDictionary, KeyOrderRules)
{
    OrderedDictionary d;
    d.setObjectForKey(1, QStringLiteral("a"));
    d.setObjectForKey(2, QStringLiteral("b"));
    d.setObjectForKey(3, QStringLiteral("c"));
    d.setObjectForKey(20, QStringLiteral("b")); // keeps its place
    EXPECT_EQ(keys(d), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(d.objectForKey(QStringLiteral("b")).toInt(), 20);

    d.removeObjectForKey(QStringLiteral("a"));
    d.setObjectForKey(10, QStringLiteral("a")); // back, at the end
    EXPECT_EQ(keys(d), (QStringList{"b", "c", "a"}));

    d.insertObjectForKeyAtIndex(30, QStringLiteral("c"), 0); // moves to the front, once
    EXPECT_EQ(keys(d), (QStringList{"c", "b", "a"}));
    EXPECT_EQ(d.count(), 3);
    EXPECT_EQ(d.objectForKey(QStringLiteral("c")).toInt(), 30);

    d.insertObjectForKeyAtIndex(4, QStringLiteral("d"), 99); // beyond the end: appended
    d.insertObjectForKeyAtIndex(5, QStringLiteral("e"), -3); // before the start: first
    EXPECT_EQ(keys(d), (QStringList{"e", "c", "b", "a", "d"}));
    EXPECT_EQ(d.reverseKeyEnumerator(), (QStringList{"d", "a", "b", "c", "e"}));
    EXPECT_EQ(d.keyAtIndex(1), QStringLiteral("c"));

    d.setObjectForKey(QVariant(), QStringLiteral("f")); // missing value: ignored
    d.setObjectForKey(1, QString());                    // missing key: ignored
    d.removeObjectForKey(QStringLiteral("zzz"));
    EXPECT_EQ(d.count(), 5);
    EXPECT_FALSE(d.objectForKey(QStringLiteral("f")).isValid());

    const OrderedDictionary copy = d.copy();
    d.removeObjectForKey(QStringLiteral("e"));
    EXPECT_EQ(copy.count(), 5);
    EXPECT_EQ(keys(copy).first(), QStringLiteral("e"));
}

TEST(OrderedDictionaryWriter, WrittenKeysFollowTheOrderAfterInsertion)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("o.plist"));
    OrderedDictionary d;
    d.setObjectForKey(1, QStringLiteral("one"));
    d.setObjectForKey(2, QStringLiteral("two"));
    d.insertObjectForKeyAtIndex(3, QStringLiteral("two"), 0);
    ASSERT_TRUE(d.writeToFileAtomically(path, true));
    const QByteArray text = readAll(path);
    EXPECT_EQ(text.count("<key>two</key>"), 1);
    EXPECT_LT(text.indexOf("<key>two</key>"), text.indexOf("<key>one</key>"));
    EXPECT_EQ(text.count("<key>"), d.count());
}

} // namespace
