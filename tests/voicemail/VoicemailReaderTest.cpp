// SPDX-License-Identifier: GPL-3.0-or-later
// The voicemail reader: senders and their voicemails, their names from the
// address book, the store, and files it cannot read.
#include <algorithm>
#include <functional>

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "LocalizedStrings.h"
#include "QELVoiceMailDbReader.h"
#include "QELVoiceMailStore.h"
#include "SQLiteDamage.h"
#include "VoicemailTestSupport.h"

using namespace VoicemailTest;
using Person = AddressBookFixture::Person;
using VoicemailFixture::Voicemail;

namespace {

std::unique_ptr<QELVoiceMailDbReader> loaded(const QString& folder, bool withAddressBook = true)
{
    auto reader = QELVoiceMailDbReader::initWithVoiceMailDbPathAndAddressBookDbPath(
        indexPath(folder), withAddressBook ? addressBookPath(folder) : QString(),
        folder + QStringLiteral("/voicemail.dat"));
    EXPECT_TRUE(reader);
    if (reader) {
        EXPECT_TRUE(reader->loadVoiceMail()) << reader->lastError().toStdString();
    }
    return reader;
}

// One sender and the address book that may name it.
struct NameCase {
    const char* label;
    QString sender;
    std::function<void(AddressBookFixture&, QList<VoicemailFixture::FullTextExtra>&)> book;
    bool fullTextTable = true;
    QString expectedName;
    bool named = true;
};

class SenderName : public ::testing::TestWithParam<NameCase> {};

TEST_P(SenderName, ComesFromTheAddressBookAsTheDeviceIndexesIt)
{
    const NameCase& c = GetParam();
    QTemporaryDir dir;
    AddressBookFixture book;
    QList<VoicemailFixture::FullTextExtra> extra;
    // Someone nobody looks for, so no table is empty.
    const qint64 other = book.person(Person::named("Zed", "Other"));
    book.phone(other, QStringLiteral("+44 20 7946 0999"));
    c.book(book, extra);
    ASSERT_TRUE(writeAddressBook(dir.path(), book, c.fullTextTable, extra));
    ASSERT_TRUE(writeIndex(dir.path(), {{c.sender, unix(2024, 5, 1), 30}}));

    auto reader = loaded(dir.path());
    ASSERT_TRUE(reader);
    const QList<QELVoiceMailContact> contacts = reader->getContacts();
    ASSERT_EQ(contacts.size(), 1);
    EXPECT_EQ(contacts[0].sender(), c.sender);
    EXPECT_EQ(contacts[0].senderName(), c.expectedName);
    EXPECT_EQ(contacts[0].namedByAddressBook(), c.named);
    // A name never costs the sender its voicemails.
    EXPECT_EQ(reader->getVoiceMailsForSenderId(c.sender).size(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Voicemail, SenderName,
    ::testing::Values(
        NameCase{"FullTextFirstAndLast", QStringLiteral("+1 555 0100"),
                 [](AddressBookFixture& b, auto&) {
                     b.phone(b.person(Person::named("Ann", "Lee")), QStringLiteral("+1 555 0100"));
                 },
                 true, QStringLiteral("Lee, Ann")},
        NameCase{"FullTextMatchesInsideTheNumbers", QStringLiteral("5550100"),
                 [](AddressBookFixture& b, auto& extra) {
                     const qint64 ann = b.person(Person::named("Ann", "Lee"));
                     b.phone(ann, QStringLiteral("+1 (555) 010-0100"));
                     extra.append({ann, QStringLiteral("+15550100 15550100 5550100")});
                 },
                 true, QStringLiteral("Lee, Ann")},
        NameCase{"FullTextFirstOnly", QStringLiteral("+1 555 0101"),
                 [](AddressBookFixture& b, auto&) {
                     b.phone(b.person(Person::named("Ann", QString())),
                             QStringLiteral("+1 555 0101"));
                 },
                 true, QStringLiteral("Ann")},
        NameCase{"FullTextLastOnly", QStringLiteral("+1 555 0102"),
                 [](AddressBookFixture& b, auto&) {
                     b.phone(b.person(Person::named(QString(), QStringLiteral("Lee"))),
                             QStringLiteral("+1 555 0102"));
                 },
                 true, QStringLiteral("Lee")},
        NameCase{"FullTextOrganizationOnly", QStringLiteral("+1 800 555 0175"),
                 [](AddressBookFixture& b, auto&) {
                     b.phone(b.person(Person::named(QString(), QString(), "Northwind Dental")),
                             QStringLiteral("+1 800 555 0175"));
                 },
                 true, QStringLiteral("Northwind Dental")},
        NameCase{"EmailSenderSearchesTheAddresses", QStringLiteral("ann@example.com"),
                 [](AddressBookFixture& b, auto&) {
                     b.email(b.person(Person::named("Ann", "Lee")),
                             QStringLiteral("ann@example.com"));
                 },
                 true, QStringLiteral("Lee, Ann")},
        // Ending in a contact's number is no match: the sender shows as itself.
        NameCase{"LastFourOfALongNumber", QStringLiteral("+15550199"),
                 [](AddressBookFixture& b, auto&) {
                     b.phone(b.person(Person::named("Bob", "Stone")), QStringLiteral("0199"));
                 },
                 true, QStringLiteral("+15550199"), false},
        NameCase{"LastFourWithoutLastNameHasNoComma", QStringLiteral("+15550198"),
                 [](AddressBookFixture& b, auto&) {
                     b.phone(b.person(Person::named("Bob", QString())), QStringLiteral("0198"));
                 },
                 true, QStringLiteral("+15550198"), false},
        NameCase{"ShortSenderIsItsOwnKey", QStringLiteral("611"),
                 [](AddressBookFixture& b, auto&) {
                     b.phone(b.person(Person::named("Carrier", "Help")), QStringLiteral("611"));
                 },
                 true, QStringLiteral("Help, Carrier")},
        NameCase{"OlderBookWithoutFullTextUsesLastFour", QStringLiteral("+1 555 0100"),
                 [](AddressBookFixture& b, auto&) {
                     b.phone(b.person(Person::named("Ann", "Lee")), QStringLiteral("+1 555 0100"));
                 },
                 false, QStringLiteral("Lee, Ann")},
        NameCase{"QuoteIsBoundNotSpliced", QStringLiteral("O'Brien"),
                 [](AddressBookFixture& b, auto& extra) {
                     extra.append(
                         {b.person(Person::named("Kate", "O'Brien")), QStringLiteral("O'Brien")});
                 },
                 true, QStringLiteral("O'Brien, Kate")},
        NameCase{"PercentIsNoWildcard", QStringLiteral("50%"),
                 [](AddressBookFixture& b, auto&) {
                     b.phone(b.person(Person::named("Wrong", "Match")),
                             QStringLiteral("+1 505 0123"));
                 },
                 true, QStringLiteral("50%"), false},
        NameCase{"UnderscoreIsNoWildcard", QStringLiteral("1_3"),
                 [](AddressBookFixture& b, auto&) {
                     b.phone(b.person(Person::named("Wrong", "Match")), QStringLiteral("123"));
                 },
                 true, QStringLiteral("1_3"), false},
        NameCase{"NoMatchKeepsTheSenderText", QStringLiteral("+1 555 0177"),
                 [](AddressBookFixture&, auto&) {}, true, QStringLiteral("+1 555 0177"), false},
        NameCase{"NamelessMatchFallsThrough", QStringLiteral("+1 555 0166"),
                 [](AddressBookFixture& b, auto&) {
                     b.phone(b.person(Person::named(QString(), QString())),
                             QStringLiteral("+1 555 0166"));
                 },
                 true, QStringLiteral("+1 555 0166"), false}),
    [](const ::testing::TestParamInfo<NameCase>& info) { return std::string(info.param.label); });

TEST(VoicemailReader, ReadsEverySenderWithItsVoicemails)
{
    QTemporaryDir dir;
    const qint64 may3 = unix(2023, 5, 3, 15, 56, 10);
    ASSERT_TRUE(writeIndex(dir.path(),
                           {
                               {QStringLiteral("+1 555 0100"), may3, 42, 3, 0},
                               {QStringLiteral("O'Brien"), unix(2024, 1, 2), 5},
                               {QStringLiteral("+1 555 0100"), may3 + 30, 7, 1, 7e8},
                               {QVariant(), unix(2024, 2, 2), 9},
                               {QStringLiteral(""), 0, 0},
                               {QStringLiteral("50%"), unix(2024, 3, 3), 61},
                           }));
    AddressBookFixture book;
    book.phone(book.person(Person::named("Ann", "Lee")), QStringLiteral("+1 555 0100"));
    ASSERT_TRUE(writeAddressBook(dir.path(), book));
    auto reader = loaded(dir.path());
    ASSERT_TRUE(reader);

    // By name in plain text order; the withheld number (NULL and empty) is one sender.
    QStringList names;
    for (const QELVoiceMailContact& contact : reader->getContacts())
        names << contact.senderName();
    EXPECT_EQ(names, (QStringList{"50%", "Lee, Ann", "O'Brien", L("UNKNOWNSENDER")}));

    const QList<QELVoiceMailItem> ann =
        reader->getVoiceMailsForSenderId(QStringLiteral("+1 555 0100"));
    ASSERT_EQ(ann.size(), 2);
    EXPECT_EQ(ann[0].id, 1);
    EXPECT_EQ(ann[0].dateRecorded, QDateTime::fromSecsSinceEpoch(may3, QTimeZone::utc()));
    EXPECT_EQ(ann[0].duration, 42);
    EXPECT_EQ(ann[0].flags, 3);
    EXPECT_EQ(ann[0].trashed, false);
    EXPECT_EQ(ann[1].id, 3);
    EXPECT_EQ(ann[1].trashed, true);
    EXPECT_EQ(ann[1].relationshipContact().senderName(), QStringLiteral("Lee, Ann"));

    const QList<QELVoiceMailItem> withheld = reader->getVoiceMailsForSenderId(QString());
    ASSERT_EQ(withheld.size(), 2);
    // A date of 0 is the start of Unix time.
    EXPECT_EQ(withheld[1].dateRecorded.toString(Qt::ISODate),
              QStringLiteral("1970-01-01T00:00:00Z"));
    EXPECT_EQ(reader->getVoiceMailsForSenderId(QStringLiteral("O'Brien")).size(), 1);
    EXPECT_TRUE(reader->getVoiceMailsForSenderId(QStringLiteral("nobody")).isEmpty());
    // The store was written where asked.
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("voicemail.dat"))).size() > 0);
}

// A sender whose bytes are not valid UTF-8 (a damaged or foreign index)
// keeps its voicemails: they are read by row, not looked up by the decoded
// text, which would match no row.
TEST(VoicemailReader, ASenderThatIsNotValidUtf8KeepsItsVoicemails)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeIndex(dir.path(),
                           {{QStringLiteral("placeholder"), unix(2024, 1, 1), 5},
                            {QStringLiteral("+15550100111"), unix(2024, 1, 2), 6},
                            {QStringLiteral("placeholder"), unix(2024, 1, 3), 7}}));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(indexPath(dir.path())).constData(), &db), SQLITE_OK);
    // "+1555\xff\xfe0100": bytes no UTF-8 decoder takes as they are.
    EXPECT_EQ(sqlite3_exec(db,
                           "UPDATE voicemail SET sender = CAST(X'2B31353535FFFE30313030' AS TEXT) "
                           "WHERE sender = 'placeholder'",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    AddressBookFixture book;
    book.phone(book.person(Person::named("Ann", "Lee")), QStringLiteral("+1 555 010 0111"));
    ASSERT_TRUE(writeAddressBook(dir.path(), book));
    auto reader = loaded(dir.path());
    ASSERT_TRUE(reader);
    const QList<QELVoiceMailContact> contacts = reader->getContacts();
    ASSERT_EQ(contacts.size(), 2);
    qsizetype total = 0;
    for (const QELVoiceMailContact& contact : contacts) {
        SCOPED_TRACE(contact.senderName().toStdString());
        EXPECT_FALSE(contact.senderName().isEmpty());
        total += reader->getVoiceMailsForSenderId(contact.sender()).size();
    }
    EXPECT_EQ(total, 3);
    const auto damaged = std::find_if(contacts.cbegin(), contacts.cend(),
                                      [](const auto& c) { return !c.namedByAddressBook(); });
    ASSERT_NE(damaged, contacts.cend());
    const QList<QELVoiceMailItem> items = reader->getVoiceMailsForSenderId(damaged->sender());
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].id, 1);
    EXPECT_EQ(items[1].id, 3);
    EXPECT_TRUE(damaged->sender().startsWith(QStringLiteral("+1555")));
}

TEST(VoicemailReader, OlderIndexWithoutTrashedDateLeavesItUnknown)
{
    QTemporaryDir dir;
    VoicemailFixture::Schema schema;
    schema.trashedDate = false;
    ASSERT_TRUE(
        writeIndex(dir.path(), {{QStringLiteral("+1 555 0100"), unix(2020, 1, 1), 12}}, schema));
    // No address book at all: every name is the sender.
    auto reader = loaded(dir.path(), false);
    ASSERT_TRUE(reader);
    ASSERT_EQ(reader->getContacts().size(), 1);
    EXPECT_EQ(reader->getContacts()[0].senderName(), QStringLiteral("+1 555 0100"));
    const auto items = reader->getVoiceMailsForSenderId(QStringLiteral("+1 555 0100"));
    ASSERT_EQ(items.size(), 1);
    EXPECT_FALSE(items[0].trashed.has_value());
    EXPECT_EQ(items[0].duration, 12);
}

TEST(VoicemailReader, EachLoadStartsAFreshStore)
{
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("voicemail.dat"));
    QFile stale(store);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("not a store at all");
    stale.close();
    ASSERT_TRUE(writeIndex(dir.path(), {{QStringLiteral("1"), 1, 1}, {QStringLiteral("2"), 2, 2}}));
    for (int load = 0; load < 2; ++load) {
        auto reader = loaded(dir.path(), false);
        ASSERT_TRUE(reader);
        EXPECT_EQ(reader->getContacts().size(), 2);
        EXPECT_FALSE(reader->store()->isInMemory());
    }
}

struct BadFileCase {
    const char* label;
    std::function<bool(const QString& path)> make;
};

class UnreadableIndex : public ::testing::TestWithParam<BadFileCase> {};

TEST_P(UnreadableIndex, FailsWithAReason)
{
    QTemporaryDir dir;
    ASSERT_TRUE(GetParam().make(indexPath(dir.path())));
    auto reader = QELVoiceMailDbReader::initWithVoiceMailDbPathAndAddressBookDbPath(
        indexPath(dir.path()), QString(), QString());
    ASSERT_TRUE(reader);
    EXPECT_TRUE(reader->voiceMailExists());
    EXPECT_FALSE(reader->loadVoiceMail());
    EXPECT_FALSE(reader->lastError().isEmpty());
    EXPECT_TRUE(reader->getContacts().isEmpty());
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QList<Voicemail> many(int count)
{
    QList<Voicemail> list;
    for (int i = 0; i < count; ++i)
        list.append(
            {QStringLiteral("+1 555 %1").arg(i % 40, 4, 10, QLatin1Char('0')), 1000 + i, i});
    return list;
}

INSTANTIATE_TEST_SUITE_P(
    Voicemail, UnreadableIndex,
    ::testing::Values(
        BadFileCase{"Empty", [](const QString& p) { return writeBytes(p, QByteArray()); }},
        BadFileCase{"NotADatabase",
                    [](const QString& p) { return writeBytes(p, QByteArray(4096, 'x')); }},
        BadFileCase{"HeaderCut",
                    [](const QString& p) {
                        return VoicemailFixture::writeVoicemailDb(p, many(3))
                            && SQLiteDamage::truncateTo(p, 60);
                    }},
        BadFileCase{"DamagedPage",
                    [](const QString& p) {
                        return VoicemailFixture::writeVoicemailDb(p, many(2000))
                            && SQLiteDamage::damageMiddleOf(p, QStringLiteral("voicemail"));
                    }},
        BadFileCase{"Truncated",
                    [](const QString& p) {
                        return VoicemailFixture::writeVoicemailDb(p, many(2000))
                            && SQLiteDamage::truncateTo(p, QFileInfo(p).size() / 2);
                    }},
        BadFileCase{"NoVoicemailTable",
                    [](const QString& p) {
                        AddressBookFixture book;
                        return book.write(p);
                    }}),
    [](const ::testing::TestParamInfo<BadFileCase>& info) {
        return std::string(info.param.label);
    });

TEST(VoicemailReader, NoIndexIsNoVoicemailNotAFailure)
{
    QTemporaryDir dir;
    auto reader = QELVoiceMailDbReader::initWithVoiceMailDbPathAndAddressBookDbPath(
        QString(), QString(), QString());
    ASSERT_TRUE(reader);
    EXPECT_FALSE(reader->voiceMailExists());
    EXPECT_FALSE(reader->loadVoiceMail());
    EXPECT_TRUE(reader->lastError().isEmpty());
}

TEST(VoicemailReader, AnUnreadableAddressBookOnlyLeavesSendersUnnamed)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeIndex(dir.path(), {{QStringLiteral("+1 555 0100"), 5, 5}}));
    ASSERT_TRUE(writeBytes(addressBookPath(dir.path()), QByteArray(100, '\0')));
    auto reader = loaded(dir.path());
    ASSERT_TRUE(reader);
    ASSERT_EQ(reader->getContacts().size(), 1);
    EXPECT_EQ(reader->getContacts()[0].senderName(), QStringLiteral("+1 555 0100"));
    ASSERT_EQ(reader->warnings().size(), 1);
    EXPECT_TRUE(
        reader->warnings()[0].contains(QStringLiteral("AddressBook.sqlitedb could not be read")))
        << reader->warnings()[0].toStdString();
}

// An index that cannot be read to its end is not read at all: the load fails
// as damaged, keeps no voicemail, and its reason is never "not an error".
TEST(VoicemailReader, AnIndexThatCannotBeReadToItsEndIsDamaged)
{
    struct Case {
        const char* what;
        std::function<bool(const QString& path)> damage;
        const char* reason;
        // Short where only the budget ends the read; the row bound ends a
        // loop of pages long before the connection's own.
        std::chrono::milliseconds budget = std::chrono::milliseconds(300);
    };
    const QString table = QStringLiteral("voicemail");
    const std::vector<Case> cases = {
        {"a view in the table's place that never answers",
         [&](const QString& p) { return SQLiteDamage::slowDown(p, table, 1'000'000'000'000); },
         "time limit"},
        {"a view of endless rows",
         [&](const QString& p) { return SQLiteDamage::makeEndless(p, table); }, ""},
        {"a damaged page in the middle of the table",
         [&](const QString& p) { return SQLiteDamage::damageMiddleOf(p, table); }, ""},
        {"pages that point back at one another",
         [&](const QString& p) { return SQLiteDamage::repeatRows(p, table, 3, 40); },
         "more rows than the file could hold", std::chrono::milliseconds(0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        ASSERT_TRUE(writeIndex(dir.path(), many(2000)));
        ASSERT_TRUE(c.damage(indexPath(dir.path())));
        auto reader = QELVoiceMailDbReader::initWithVoiceMailDbPathAndAddressBookDbPath(
            indexPath(dir.path()), QString(), QString());
        ASSERT_TRUE(reader);
        reader->setReadBudget(c.budget);
        EXPECT_FALSE(reader->loadVoiceMail());
        const QString error = reader->lastError();
        EXPECT_TRUE(error.startsWith(QStringLiteral("this database is damaged: the voicemails ")))
            << error.toStdString();
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
        EXPECT_FALSE(error.contains(QStringLiteral("not an error")));
        EXPECT_TRUE(reader->getContacts().isEmpty());
    }
}

// The index and the address book that names its senders are one read with
// one budget: three statements that each fit the budget do not all run to
// their end. The voicemails read first are whole; the part of the address
// book that ran out of time is reported.
TEST(VoicemailReader, TheIndexAndItsAddressBookShareOneBudget)
{
    QTemporaryDir dir;
    ASSERT_TRUE(
        writeIndex(dir.path(),
                   {{QStringLiteral("+1 555 0100"), 5, 5}, {QStringLiteral("+1 555 0101"), 6, 6}}));
    AddressBookFixture book;
    book.phone(book.person(Person::named("Ann", "Lee")), QStringLiteral("+1 555 0100"));
    ASSERT_TRUE(writeAddressBook(dir.path(), book));
    const qint64 steps = 1'000'000;
    ASSERT_TRUE(SQLiteDamage::slowDown(indexPath(dir.path()), QStringLiteral("voicemail"), steps));
    ASSERT_TRUE(
        SQLiteDamage::slowDown(addressBookPath(dir.path()), QStringLiteral("ABPerson"), steps));
    ASSERT_TRUE(SQLiteDamage::slowDown(addressBookPath(dir.path()),
                                       QStringLiteral("ABPersonFullTextSearch_content"), steps));
    auto reader = QELVoiceMailDbReader::initWithVoiceMailDbPathAndAddressBookDbPath(
        indexPath(dir.path()), addressBookPath(dir.path()), QString());
    ASSERT_TRUE(reader);
    reader->setReadBudget(SQLiteDamage::timeToCount(steps) * 2);
    ASSERT_TRUE(reader->loadVoiceMail()) << reader->lastError().toStdString();
    ASSERT_EQ(reader->getContacts().size(), 2);
    ASSERT_FALSE(reader->warnings().isEmpty());
    EXPECT_TRUE(reader->warnings().last().contains(QStringLiteral("AddressBook.sqlitedb")))
        << reader->warnings().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(reader->warnings().last().contains(QStringLiteral("time limit")))
        << reader->warnings().join(QLatin1Char('\n')).toStdString();
}

} // namespace
