// SPDX-License-Identifier: GPL-3.0-or-later
// How the participants of the call log get their names: the messages
// preferences' contact cache, the address book's values, its last-four index.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "AddressBookFixture.h"
#include "CallHistoryFixture.h"
#include "CallLogTestSupport.h"
#include "QELCallLogContactLookup.h"
#include "QELCallLogParticipant.h"
#include "QELCallLogStoreDataReader.h"
#include "QtPrinters.h"

namespace {

using Person = AddressBookFixture::Person;

class ParticipantNames : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        const qint64 ann = m_book.person(Person::named("Ann", "Lee"));
        m_book.phone(ann, QStringLiteral("+1 (555) 010-0111"));
        m_book.phone(ann, QStringLiteral("+15550100111"));
        m_book.email(ann, QStringLiteral("ann@example.com"));
        const qint64 acme = m_book.person(Person::named(QString(), QString(), "Acme Ltd"));
        m_book.phone(acme, QStringLiteral("+44 20 7946 0018"));
        // A First value and a NULL Last: no blank is left at the end.
        const qint64 bo = m_book.person(Person::named(" Bo ", QString()));
        m_book.phone(bo, QStringLiteral("+15550102222"));
        // A contact without any name part.
        const qint64 blank = m_book.person(Person::named(QString(), QString(), QString()));
        m_book.phone(blank, QStringLiteral("+15550103333"));
        m_book.email(blank, QStringLiteral("nobody@example.com"));
        // A later contact with Ann's number: the earlier one names it.
        const qint64 other = m_book.person(Person::named("Other", "Ann"));
        m_book.phone(other, QStringLiteral("+15550100111"));
        // Indexed under ".com": an e-mail address is never matched on its last four.
        const qint64 zed = m_book.person(Person::named("Zed", "Dot"));
        const qint64 zedValue = m_book.value(zed, AddressBookFixture::Url, QStringLiteral("x"));
        m_book.lastFour(zedValue, QStringLiteral(".com"));
        // Only the messages cache leads to this contact.
        m_cached = m_book.person(Person::named("Cara", "Cached"));
        m_book.email(m_cached, QStringLiteral("cara@elsewhere.example"));
        // Hostile names are names like any other.
        const qint64 hostile = m_book.person(Person::named("<script>", "O'Brien"));
        m_book.phone(hostile, QStringLiteral("../x"));
    }

    QString bookPath()
    {
        const QString path = m_dir.filePath(QStringLiteral("AddressBook.sqlitedb"));
        EXPECT_TRUE(m_book.write(path));
        return path;
    }
    QString smsPath(const QMap<QString, qint64>& cache)
    {
        const QString path = m_dir.filePath(QStringLiteral("com.apple.MobileSMS.plist"));
        EXPECT_TRUE(CallHistoryFixture::writeMobileSMSPlist(path, cache));
        return path;
    }

    QTemporaryDir m_dir;
    AddressBookFixture m_book;
    qint64 m_cached = 0;
};

TEST_F(ParticipantNames, EachSourceAndFallbackNamesTheAddressAsItShould)
{
    QELCallLogContactLookup lookup(bookPath(),
                                   smsPath({{QStringLiteral("+19995550000"), m_cached},
                                            {QStringLiteral("+15550100111"), 9999}}));
    ASSERT_TRUE(lookup.hasAddressBook());
    struct Case {
        const char* address;
        const char* name; // what the participant is called
    };
    const Case cases[] = {
        {"+15550100111", "Ann Lee"},      // exact; the cache's unknown record does not count
        {"ann@example.com", "Ann Lee"},   // exact e-mail
        {"0700 010 0111", "Ann Lee"},     // last four, "0111"
        {"0111", "Ann Lee"},              // four characters or fewer: whole
        {"+44 20 7946 0018", "Acme Ltd"}, // organisation only
        {"+15550102222", "Bo"},           // First alone, trimmed
        {"+15550103333", "+15550103333"}, // a contact without a name: the address
        {"nobody@example.com", "nobody@example.com"},
        {"zed@site.com", "zed@site.com"}, // "@": no last-four lookup
        {"+19995550000", "Cara Cached"},  // the messages cache
        {"../x", "<script> O'Brien"},
        {"+15559990000", "+15559990000"}, // nothing resolves it
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        QELCallLogParticipant participant;
        participant.setAddress(QString::fromUtf8(c.address), lookup);
        EXPECT_EQ(participant.name(), QString::fromUtf8(c.name));
        EXPECT_EQ(participant.addresses(), QStringList{QString::fromUtf8(c.address)});
    }
}

TEST_F(ParticipantNames, WithoutAnAddressBookOrItsLastFourTableTheLookupsThatNeedThemGiveNothing)
{
    {
        SCOPED_TRACE("no address book, a messages cache");
        QELCallLogContactLookup lookup(QString(), smsPath({{QStringLiteral("+1999"), m_cached}}));
        EXPECT_TRUE(lookup.nameForAddress(QStringLiteral("+1999")).isNull());
        EXPECT_TRUE(lookup.nameForAddress(QStringLiteral("+15550100111")).isNull());
    }
    {
        SCOPED_TRACE("an address book without ABPhoneLastFour");
        m_book.setHasLastFourTable(false);
        QELCallLogContactLookup lookup(bookPath(), QString());
        EXPECT_EQ(lookup.nameForAddress(QStringLiteral("+15550100111")), QStringLiteral("Ann Lee"));
        EXPECT_TRUE(lookup.nameForAddress(QStringLiteral("0111")).isNull());
    }
    for (const QByteArray& damage :
         {QByteArray(), QByteArray("SQLite format 3"), QByteArray("garbage").repeated(1000)}) {
        SCOPED_TRACE(damage.left(20).toStdString());
        const QString path = m_dir.filePath(QStringLiteral("damaged.sqlitedb"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(damage);
        file.close();
        QELCallLogContactLookup lookup(path, m_dir.filePath(QStringLiteral("missing.plist")));
        EXPECT_FALSE(lookup.hasAddressBook());
        EXPECT_TRUE(lookup.nameForAddress(QStringLiteral("+15550100111")).isNull());
    }
}

TEST(ParticipantNameParts, JoinWithoutStrayBlanks)
{
    struct Case {
        QString first, last, organization;
        const char* name;
    };
    const Case cases[] = {
        {"Ann", "Lee", "Acme", "Ann Lee"},     {"Ann", QString(), "Acme", "Ann"},
        {QString(), "Lee", QString(), "Lee"},  {"  ", "  ", "Acme ", "Acme"},
        {QString(), QString(), QString(), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(QELCallLogContactLookup::nameFromParts(c.first, c.last, c.organization),
                  QString::fromLatin1(c.name));
    }
}

// Two contacts whose names differ only by a blank at the end group as one,
// and the participant made first holds both addresses.
TEST_F(ParticipantNames, NamesThatResolveAlikeGroupUnderTheFirstAddress)
{
    const qint64 bo = m_book.person(Person::named("Bo", QString()));
    m_book.phone(bo, QStringLiteral("+15550109999"));
    using namespace CallLogTest;
    const QString history =
        writeHistory(Generation::StoreWithTextAddress, m_dir.path(),
                     {{QStringLiteral("+15550109999"), utc(2024, 1, 1), 1, false, false},
                      {QStringLiteral("+15550102222"), utc(2024, 1, 2), 2, false, false},
                      {QStringLiteral("+15550103333"), utc(2024, 1, 3), 3, false, false},
                      {QStringLiteral("nobody@example.com"), utc(2024, 1, 4), 4, false, false}});
    QELCallLogStoreDataReader reader(history, bookPath(), QString());
    ASSERT_TRUE(reader.loadCallLog());
    const QList<QELCallLogParticipant> participants = reader.getCallLogParticipantList();
    ASSERT_EQ(participants.size(), 3);
    EXPECT_EQ(participants[0].name(), QStringLiteral("+15550103333"));
    EXPECT_EQ(participants[1].name(), QStringLiteral("Bo"));
    EXPECT_EQ(participants[1].addresses(), (QStringList{"+15550109999", "+15550102222"}));
    EXPECT_EQ(participants[2].name(), QStringLiteral("nobody@example.com"));
    for (const QELCallLogParticipant& p : participants)
        EXPECT_FALSE(p.isMerged());
}

TEST(ParticipantMerge, AbsorbsAnotherButNeverItself)
{
    QELCallLogParticipant a;
    a.setAddressAndName(QStringLiteral("+1"), QStringLiteral("Ann"));
    QELCallLogParticipant b;
    b.setAddressAndName(QStringLiteral("+2"), QStringLiteral("Ann"));
    EXPECT_FALSE(a.mergeWith(a));
    EXPECT_EQ(a.addresses(), QStringList{"+1"});
    EXPECT_FALSE(a.isMerged());
    EXPECT_TRUE(a.mergeWith(b));
    EXPECT_EQ(a.addresses(), (QStringList{"+1", "+2"}));
    EXPECT_TRUE(b.isMerged());
    EXPECT_FALSE(a.isMerged());
}

} // namespace
