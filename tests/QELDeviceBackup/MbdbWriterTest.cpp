#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QtEndian>

#include "BackupFixtures.h"
#include "MbdbFormat.h"
#include "MbdbWriter.h"
#include "QELBinaryFileHandle.h"

namespace {

// Reads every record of manifest bytes back through the format's reader.
std::vector<MbdbRecord> readBack(const QByteArray& manifest, MbdbFormat::ReadResult* last = nullptr)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/Manifest.mbdb");
    EXPECT_TRUE(writeFixtureFile(path, manifest));
    QELBinaryFileHandle file(path);
    std::vector<MbdbRecord> records;
    EXPECT_TRUE(MbdbFormat::readHeader(file));
    MbdbRecord record;
    MbdbFormat::ReadResult result;
    while ((result = MbdbFormat::readRecord(file, &record)) == MbdbFormat::ReadResult::Record)
        records.push_back(record);
    if (last)
        *last = result;
    return records;
}

MbdbWriter::Record fileRecord(const QByteArray& domain, const QByteArray& path)
{
    MbdbWriter::Record record;
    record.domain = domain;
    record.path = path;
    record.mode = 0x81A4;
    return record;
}

TEST(MbdbWriter, EveryFieldReadsBackAsWritten)
{
    MbdbWriter::Record full = fileRecord("HomeDomain", "Library/SMS/sms.db");
    full.linkTarget = QByteArray("../elsewhere");
    full.dataHash = QByteArray(20, '\x11');
    full.encryptionKey = QByteArray("\x00\x01\x02", 3);
    full.inode = 0x0102030405060708ULL;
    full.userID = 501;
    full.groupID = 20;
    full.modified = 1700000000;
    full.accessed = 1700000001;
    full.created = 0xFFFFFFFF;
    full.size = 0x1122334455ULL;
    full.protectionClass = 3;
    full.properties = {{"com.apple.property", "value"}, {"empty", QByteArray()}};
    MbdbWriter::Record absent; // every optional field absent, every number zero

    MbdbWriter writer;
    ASSERT_TRUE(writer.add(full));
    ASSERT_TRUE(writer.add(absent));
    MbdbFormat::ReadResult last{};
    const std::vector<MbdbRecord> records = readBack(writer.manifest(), &last);
    EXPECT_EQ(last, MbdbFormat::ReadResult::End);
    ASSERT_EQ(records.size(), 2u);

    const MbdbRecord& a = records[0];
    EXPECT_EQ(a.domain, QStringLiteral("HomeDomain"));
    EXPECT_EQ(a.path, QStringLiteral("Library/SMS/sms.db"));
    EXPECT_EQ(a.linkTarget, QStringLiteral("../elsewhere"));
    EXPECT_EQ(a.dataHash, full.dataHash);
    EXPECT_EQ(a.encryptionKey, full.encryptionKey);
    EXPECT_EQ(a.mode, full.mode);
    EXPECT_EQ(a.inode, full.inode);
    EXPECT_EQ(a.userID, full.userID);
    EXPECT_EQ(a.groupID, full.groupID);
    EXPECT_EQ(a.modified, full.modified);
    EXPECT_EQ(a.accessed, full.accessed);
    EXPECT_EQ(a.created, full.created);
    EXPECT_EQ(a.size, full.size);
    EXPECT_EQ(a.protectionClass, full.protectionClass);
    ASSERT_EQ(a.properties.size(), 2);
    EXPECT_EQ(a.properties[0].first, QStringLiteral("com.apple.property"));
    EXPECT_EQ(a.properties[0].second, QByteArray("value"));
    EXPECT_TRUE(a.properties[1].second.isEmpty());

    const MbdbRecord& b = records[1];
    EXPECT_FALSE(b.domain.has_value());
    EXPECT_FALSE(b.path.has_value());
    EXPECT_FALSE(b.dataHash.has_value());
    EXPECT_TRUE(b.properties.isEmpty());
}

TEST(MbdbWriter, RefusesWhatItsLengthsCannotSayAndWritesNothingOfIt)
{
    struct Case {
        const char* name;
        MbdbWriter::Record record;
        bool accepted;
    };
    MbdbWriter::Record longest = fileRecord("HomeDomain", QByteArray(0xFFFE, 'p'));
    MbdbWriter::Record tooLong =
        fileRecord("HomeDomain", QByteArray(0xFFFF, 'p')); // would read as "absent"
    MbdbWriter::Record longProperty = fileRecord("HomeDomain", "a");
    longProperty.properties = {{"name", QByteArray(0x10000, 'v')}};
    MbdbWriter::Record manyProperties = fileRecord("HomeDomain", "a");
    for (int i = 0; i < 256; ++i)
        manyProperties.properties.append(qMakePair(QByteArray("p"), QByteArray("v")));
    MbdbWriter::Record hostile = fileRecord(QByteArray("Home\xFF\xFE", 6), QByteArray("a\0b", 3));
    const std::vector<Case> cases = {
        {"longest field", longest, true},
        {"field of 65535 bytes", tooLong, false},
        {"long property value", longProperty, false},
        {"256 properties", manyProperties, false},
        {"bytes that are not UTF-8, a NUL", hostile, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MbdbWriter writer;
        EXPECT_EQ(writer.add(c.record), c.accepted);
        EXPECT_EQ(writer.entries().size(), c.accepted ? 1u : 0u);
        EXPECT_EQ(readBack(writer.manifest()).size(), c.accepted ? 1u : 0u);
        if (!c.accepted) {
            EXPECT_EQ(writer.manifest(), QByteArray("mbdb\x05\x00", 6));
        }
    }
}

TEST(MbdbWriter, IndexNamesEachRecordByTheHashOfItsDomainAndPath)
{
    MbdbWriter writer;
    ASSERT_TRUE(writer.add(fileRecord("HomeDomain", "Library/SMS/sms.db")));
    MbdbWriter::Record folder = fileRecord("MediaDomain", "Library");
    folder.mode = 0x41ED;
    ASSERT_TRUE(writer.add(folder));

    const QByteArray sms =
        QCryptographicHash::hash("HomeDomain-Library/SMS/sms.db", QCryptographicHash::Sha1);
    const QByteArray media =
        QCryptographicHash::hash("MediaDomain-Library", QCryptographicHash::Sha1);
    for (const auto order :
         {MbdbWriter::IndexOrder::AsWritten, MbdbWriter::IndexOrder::ByIdentifier}) {
        const QByteArray index = writer.index(order, 2);
        ASSERT_EQ(index.size(), 10 + 2 * 26);
        EXPECT_EQ(index.left(6), QByteArray("mbdx\x02\x00", 6));
        EXPECT_EQ(qFromBigEndian<uint32_t>(index.constData() + 6), 2u);
        QList<QByteArray> identifiers = {index.mid(10, 20), index.mid(36, 20)};
        const bool sorted = order == MbdbWriter::IndexOrder::ByIdentifier;
        const QList<QByteArray> expected = sorted
            ? (sms < media ? QList<QByteArray>{sms, media} : QList<QByteArray>{media, sms})
            : QList<QByteArray>{sms, media};
        EXPECT_EQ(identifiers, expected);
        // Each entry's offset and mode are those of its own record.
        for (int i = 0; i < 2; ++i) {
            const char* entry = index.constData() + 10 + i * 26;
            const bool isSms = QByteArray(entry, 20) == sms;
            EXPECT_EQ(qFromBigEndian<uint32_t>(entry + 20),
                      isSms ? writer.entries()[0].offset : writer.entries()[1].offset);
            EXPECT_EQ(qFromBigEndian<uint16_t>(entry + 24), isSms ? 0x81A4 : 0x41ED);
        }
    }
    EXPECT_EQ(writer.entries()[0].offset, 0u);
    EXPECT_GT(writer.entries()[1].offset, 0u);
}

} // namespace
