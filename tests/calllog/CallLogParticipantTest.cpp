// SPDX-License-Identifier: GPL-3.0-or-later
// How the participants of the call log get their names: the messages
// preferences' contact cache, then the address book's numbers and e-mail
// addresses, compared as numbers and addresses (never by their last digits).
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "AddressBookFixture.h"
#include "CallHistoryFixture.h"
#include "CallLogTestSupport.h"
#include "Plist.h"
#include "QELCallLogParticipant.h"
#include "QELCallLogStoreDataReader.h"
#include "QELContactNameLookup.h"
#include "QtPrinters.h"
#include "VoicemailFixture.h"

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
        // Indexed under ".com" in the last-four table, which names nobody.
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
    QELContactNameLookup lookup(bookPath(),
                                smsPath({{QStringLiteral("+19995550000"), m_cached},
                                         {QStringLiteral("+15550100111"), 9999}}));
    ASSERT_TRUE(lookup.hasAddressBook());
    struct Case {
        const char* address;
        const char* name; // what the participant is called
    };
    const Case cases[] = {
        {"+15550100111", "Ann Lee"},        // exact; the cache's unknown record does not count
        {"ann@example.com", "Ann Lee"},     // exact e-mail
        {"(555) 010-0111", "Ann Lee"},      // the same number written otherwise
        {"0700 010 0111", "0700 010 0111"}, // ends alike: another number
        {"0111", "0111"},                   // the last four digits are no number of hers
        {"+44 20 7946 0018", "Acme Ltd"},   // organisation only
        {"+15550102222", "Bo"},             // First alone, trimmed
        {"+15550103333", "+15550103333"},   // a contact without a name: the address
        {"nobody@example.com", "nobody@example.com"},
        {"zed@site.com", "zed@site.com"}, // ends in ".com" like the last-four row
        {"+19995550000", "Cara Cached"},  // the messages cache
        {"../x", "<script> O'Brien"},
        {"+15559990000", "+15559990000"}, // nothing resolves it
        {"", "No Caller ID"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        QELCallLogParticipant participant;
        participant.setAddress(QString::fromUtf8(c.address), lookup);
        EXPECT_EQ(participant.name(), QString::fromUtf8(c.name));
        EXPECT_EQ(participant.addresses(), QStringList{QString::fromUtf8(c.address)});
    }
}

// The number-matching table: one number in the forms people and devices
// write it names its contact; other numbers that only end alike, the same
// digits in another country, short codes and e-mail addresses name only
// what they are.
TEST(ContactNumberMatching, SameNumberInAnyFormOnlyThatNumber)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    AddressBookFixture book;
    book.phone(book.person(Person::named("Ann", "Lee")), QStringLiteral("+1 (555) 010-0111"));
    book.phone(book.person(Person::named("Elif", "Yılmaz")), QStringLiteral("+90 212 555 0134"));
    book.phone(book.person(Person::named("Carrier", "Help")), QStringLiteral("611"));
    book.email(book.person(Person::named("Desk", QString())), QStringLiteral("Desk@Acme.example"));
    // Written as a caller in Britain would, without the country code.
    book.phone(book.person(Person::named("Mo", "Grant")), QStringLiteral("020 7946 0018"));
    const qint64 dup = book.person(Person::named("Zoe", "Later"));
    book.phone(dup,
               QStringLiteral("555.010.0111")); // Ann's number again: the first contact names it
    const QString path = dir.filePath(QStringLiteral("AddressBook.sqlitedb"));
    ASSERT_TRUE(book.write(path));

    struct Case {
        const char* address;
        const char* region;
        const char* name; // null: nothing names it
    };
    const Case cases[] = {
        {"+15550100111", "US", "Ann Lee"},
        {"5550100111", "US", "Ann Lee"},
        {"(555) 010-0111", "US", "Ann Lee"},
        {"1-555-010-0111", "US", "Ann Lee"},
        {"+1 555 010 0111", "", "Ann Lee"}, // unknown region: "US"
        {"tel:+1-555-010-0111", "US", "Ann Lee"},
        {"001 555 010 0111", "DE", "Ann Lee"}, // dialled from abroad
        {"+15550000111", "US", nullptr},       // ends alike
        {"0111", "US", nullptr},
        {"+44 555 010 0111", "US", nullptr}, // the same digits in another country
        {"+902125550134", "US", "Elif Yılmaz"},
        {"+1 555 000 0134", "US", nullptr}, // ends like Elif's number
        {"0134", "US", nullptr},
        {"611", "US", "Carrier Help"},       // a short code is itself
        {"+1 555 000 0611", "US", nullptr},  // ends like the short code
        {"desk@acme.example", "US", "Desk"}, // addresses ignore case
        {"DESK@ACME.EXAMPLE", "US", "Desk"},
        {"desk@acme.example.org", "US", nullptr},
        {"acme.example", "US", nullptr},
        {"+442079460018", "GB", "Mo Grant"}, // the region stands in for the country
        {"020 7946 0018", "GB", "Mo Grant"},
        {"+442079460018", "US", nullptr}, // in the US that is another number
        {"Unknown", "US", nullptr},
        {"*86", "US", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.address) + " in " + c.region);
        const QELContactNameLookup lookup(path, QString(), QString::fromLatin1(c.region));
        const QString name = lookup.nameForAddress(QString::fromUtf8(c.address));
        if (c.name)
            EXPECT_EQ(name, QString::fromUtf8(c.name));
        else
            EXPECT_TRUE(name.isNull()) << name.toStdString();
    }
}

TEST(ContactNumberMatching, TheRegionComesFromTheDevicesLocale)
{
    struct Case {
        const char* locale;
        const char* region;
    };
    const Case cases[] = {
        {"en_GB", "GB"},      {"de-DE", "DE"},  {"fr_CA@calendar=gregorian", "CA"},
        {"zh-Hans_CN", "CN"}, {"en", "US"},     {"", "US"},
        {"xx_QQ", "US"},      {"es_419", "US"}, {"en_gb", "US"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale);
        EXPECT_EQ(QELContactNameLookup::regionFromLocale(QString::fromLatin1(c.locale)),
                  QString::fromLatin1(c.region));
    }
    QTemporaryDir dir;
    const QString prefs = dir.filePath(QStringLiteral(".GlobalPreferences.plist"));
    ASSERT_TRUE(Plist::writeFile(
        prefs, QVariantMap{{QStringLiteral("AppleLocale"), QStringLiteral("en_AU")}},
        Plist::Format::Binary));
    EXPECT_EQ(QELContactNameLookup::regionFromGlobalPreferences(prefs), QStringLiteral("AU"));
    EXPECT_EQ(
        QELContactNameLookup::regionFromGlobalPreferences(dir.filePath(QStringLiteral("missing"))),
        QStringLiteral("US"));
    EXPECT_EQ(QELContactNameLookup::regionFromGlobalPreferences(QString()), QStringLiteral("US"));
    QFile damaged(dir.filePath(QStringLiteral("damaged.plist")));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("bplist00\xff\xff");
    damaged.close();
    EXPECT_EQ(QELContactNameLookup::regionFromGlobalPreferences(damaged.fileName()),
              QStringLiteral("US"));
}

// The fault seen on a real history: forty calls of a stranger listed under
// a contact abroad whose number ended in the same four digits.
TEST(ContactNumberMatching, AStrangerIsNotNamedAfterAContactWhoseNumberEndsAlike)
{
    QTemporaryDir dir;
    AddressBookFixture book;
    book.phone(book.person(Person::named("Elif", "Yılmaz")), QStringLiteral("+90 212 555 0134"));
    const QString path = dir.filePath(QStringLiteral("AddressBook.sqlitedb"));
    ASSERT_TRUE(book.write(path));
    using namespace CallLogTest;
    QList<Call> calls;
    for (int i = 0; i < 40; ++i)
        calls.append(
            {QStringLiteral("+15550000134"), utc(2024, 3, 1 + i % 28, i % 24), 60, false, false});
    calls.append({QStringLiteral("+902125550134"), utc(2024, 4, 1), 30, true, false});
    const QString history = writeHistory(Generation::StoreWithTextAddress, dir.path(), calls);
    QELCallLogStoreDataReader reader(history, path, QString());
    ASSERT_TRUE(reader.loadCallLog());
    const QList<QELCallLogParticipant> participants = reader.getCallLogParticipantList();
    ASSERT_EQ(participants.size(), 2);
    EXPECT_EQ(participants[0].name(), QStringLiteral("+15550000134"));
    EXPECT_EQ(participants[1].name(), QStringLiteral("Elif Yılmaz"));
    EXPECT_EQ(reader.getCallLogForParticipants({participants[0]}).size(), 40);
    EXPECT_EQ(reader.getCallLogForParticipants({participants[1]}).size(), 1);
}

TEST_F(ParticipantNames, WithoutAnAddressBookOrItsLastFourTableTheLookupsThatNeedThemGiveNothing)
{
    {
        SCOPED_TRACE("no address book, a messages cache");
        QELContactNameLookup lookup(QString(), smsPath({{QStringLiteral("+1999"), m_cached}}));
        EXPECT_TRUE(lookup.nameForAddress(QStringLiteral("+1999")).isNull());
        EXPECT_TRUE(lookup.nameForAddress(QStringLiteral("+15550100111")).isNull());
    }
    {
        SCOPED_TRACE("an address book without ABPhoneLastFour");
        m_book.setHasLastFourTable(false);
        QELContactNameLookup lookup(bookPath(), QString());
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
        QELContactNameLookup lookup(path, m_dir.filePath(QStringLiteral("missing.plist")));
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
        EXPECT_EQ(QELContactNameLookup::nameFromParts(c.first, c.last, c.organization),
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

namespace {

// The full-text index names a number in any of its forms; a hostile column of
// a million pieces is read only as far as any real one goes.
TEST(ContactNumberMatching, TheFullTextIndexNamesNumbersWithinItsBounds)
{
    QTemporaryDir dir;
    AddressBookFixture book;
    const qint64 ann = book.person(Person::named("Ann", "Lee"));
    book.email(ann, QStringLiteral("ann@example.com"));
    const qint64 flood = book.person(Person::named("Flood", "Row"));
    book.email(flood, QStringLiteral("flood@example.com"));
    const QString path = dir.filePath(QStringLiteral("AddressBook.sqlitedb"));
    ASSERT_TRUE(book.write(path));
    QString many = QStringLiteral("+15550100333");
    many.reserve(13 * 1000000);
    for (int i = 0; i < 1000000; ++i)
        many += QStringLiteral(" 555010%1").arg(i % 10000, 4, 10, QLatin1Char('0'));
    many += QStringLiteral(" +15550100444");
    ASSERT_TRUE(VoicemailFixture::addFullTextSearch(
        path, book, {{ann, QStringLiteral("+15550100222 5550100222 0100222")}, {flood, many}}));
    const QELContactNameLookup lookup(path, QString());
    EXPECT_EQ(lookup.nameForAddress(QStringLiteral("(555) 010-0222")), QStringLiteral("Ann Lee"));
    EXPECT_EQ(lookup.nameForAddress(QStringLiteral("+15550100333")), QStringLiteral("Flood Row"));
    EXPECT_TRUE(lookup.nameForAddress(QStringLiteral("+15550100444")).isNull()); // past the bound
}

} // namespace
