// SPDX-License-Identifier: GPL-3.0-or-later
// The address book reader: which people are stored, their display names and
// list keys, the labels and flags of their values, postal addresses, web
// addresses and pictures, and what damaged or foreign files give.
#include <functional>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include "ContactsTestSupport.h"
#include "QELContactStore.h"
#include "QtPrinters.h"
#include "SQLiteDamage.h"
#include "SQLiteFixtureWriter.h"
#include "TestEnvironment.h"

namespace {

using Person = AddressBookFixture::Person;

// Runs `sql` on the file through a WAL connection and copies the file with its
// "-wal" to `copy` before that connection closes (closing would checkpoint
// the rows into the file), as a backup holds a database in use.
bool copyWithRowsInWal(const QString& path, const QString& copy, const char* sql)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr)
        != SQLITE_OK) {
        sqlite3_close_v2(db);
        return false;
    }
    bool ok = sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0", nullptr,
                           nullptr, nullptr)
            == SQLITE_OK
        && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    for (const QString& suffix : {QString(), QStringLiteral("-wal")})
        ok = ok && QFile::copy(path + suffix, copy + suffix);
    sqlite3_close_v2(db);
    return ok;
}

TEST(ContactsDbReader, StoresPeopleByTheirNamesOrOrganisation)
{
    struct Case {
        const char* name;
        Person person;
        bool stored;
        QString fn;
        QString searchReference;
    };
    Person prefixOnly;
    prefixOnly.prefix = "Dr.";
    Person noteOnly;
    noteOnly.note = "remember";
    noteOnly.jobTitle = "Engineer";
    Person lastMiddle;
    lastMiddle.last = "Lee";
    lastMiddle.middle = "Jo";
    Person all = Person::named("Ann", "Lee", "Acme");
    all.middle = "Jo";
    Person emptyTexts = Person::named("", "", "");
    const std::vector<Case> cases = {
        {"organisation only", Person::named(QString(), QString(), "Acme"), true, "", "Acme"},
        {"prefix only", prefixOnly, false, {}, {}},
        {"note and title only", noteOnly, false, {}, {}},
        {"empty texts", emptyTexts, false, {}, {}},
        {"last and middle", lastMiddle, true, "Lee Jo", "Lee Jo"},
        {"every name", all, true, "Lee, Ann Jo", "Lee, Ann Jo"},
        {"first only", Person::named("Ann", QString()), true, "Ann", "Ann"},
        {"last only", Person::named(QString(), "Lee"), true, "Lee", "Lee"},
        {"non-ASCII", Person::named("Zoë", "Ørsted"), true, "Ørsted, Zoë", "Ørsted, Zoë"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AddressBookFixture book;
        book.person(c.person);
        const auto reader = loadedReader(book);
        const QList<QELContactPtr> contacts = reader->getContacts();
        ASSERT_EQ(contacts.size(), c.stored ? 1 : 0);
        if (!c.stored)
            continue;
        EXPECT_EQ(contacts[0]->uid, 1);
        EXPECT_EQ(contacts[0]->FN, c.fn);
        EXPECT_EQ(contacts[0]->searchReference, c.searchReference);
    }
}

TEST(ContactsDbReader, ReadsTheFieldsOfAPerson)
{
    AddressBookFixture book;
    Person ann = Person::named("Ann", "Lee", "Acme");
    ann.prefix = "Dr.";
    ann.suffix = "PhD";
    ann.jobTitle = "Chemist";
    ann.note = "line one\nline two";
    ann.nickname = "Annie";
    ann.birthday = "339163200"; // 2011-10-01 12:00 UTC
    const qint64 id = book.person(ann);
    // A NULL column reads as the empty text, not as an absent one.
    Person nulls = Person::named("Bo", QString());
    book.person(nulls);
    const auto reader = loadedReader(book);
    const QELContactPtr c = contactWithUid(*reader, id);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->givenName, "Ann");
    EXPECT_EQ(c->familyName, "Lee");
    EXPECT_EQ(c->additionalName, "");
    EXPECT_EQ(c->organisation, "Acme");
    EXPECT_EQ(c->honorificPrefixes, "Dr.");
    EXPECT_EQ(c->honorificSuffixes, "PhD");
    EXPECT_EQ(c->title, "Chemist");
    EXPECT_EQ(c->note, "line one\nline two");
    ASSERT_EQ(c->nickNames.size(), 1u);
    EXPECT_EQ(c->nickNames[0]->nickName, "Annie");
    EXPECT_EQ(c->birthday, QDate(2011, 10, 1));
    EXPECT_FALSE(c->role);
    EXPECT_FALSE(c->url);
    const QELContactPtr bo = contactWithUid(*reader, 2);
    ASSERT_TRUE(bo);
    EXPECT_EQ(bo->familyName, "");
    EXPECT_TRUE(bo->nickNames.empty());
    EXPECT_FALSE(bo->birthday);
}

TEST(ContactsDbReader, LabelsGiveLocationsAndFlags)
{
    struct Case {
        QString label;
        std::optional<qint64> location;
        std::optional<qint64> cell;
        std::optional<qint64> fax;
    };
    const std::vector<Case> cases = {
        {"_$!<Mobile>!$_", 1, 1, 0},  {"_$!<Work>!$_", 2, 0, 0},
        {"_$!<WorkFAX>!$_", 2, 0, 1}, {"_$!<HomeFAX>!$_", 1, 0, 1},
        {"iPhone", 1, 1, 0},          {"Mobile Work", 2, 1, 0},
        {"my WORK mobile", 2, 1, 0},  {"fax", 1, 0, 1},
        {"_$!<Other>!$_", 1, 0, 0},   {QString(), std::nullopt, std::nullopt, std::nullopt},
    };
    AddressBookFixture book;
    // Label numbers are row numbers: a deleted label leaves a gap.
    book.setHasDeletedLabelRow(true);
    const qint64 ann = book.person(Person::named("Ann", "Lee"));
    for (const Case& c : cases) {
        book.phone(ann, "+1 555 " + c.label, c.label);
        book.email(ann, c.label + "@example.com", c.label);
        book.address(ann, {{"City", c.label}}, c.label);
    }
    const auto reader = loadedReader(book);
    const QELContactPtr contact = contactWithUid(*reader, ann);
    ASSERT_TRUE(contact);
    ASSERT_EQ(contact->telephones.size(), cases.size());
    ASSERT_EQ(contact->emails.size(), cases.size());
    ASSERT_EQ(contact->addresses.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.label.toStdString());
        const QELContactTelephone& phone = *contact->telephones[i];
        EXPECT_EQ(phone.telephoneNumber, "+1 555 " + c.label);
        EXPECT_EQ(phone.locationType, c.location);
        EXPECT_EQ(phone.isCell, c.cell);
        EXPECT_EQ(phone.isFax, c.fax);
        EXPECT_EQ(phone.isVoice, c.location ? std::optional<qint64>(1) : std::nullopt);
        EXPECT_FALSE(phone.isPager);
        EXPECT_EQ(phone.deviceLabel,
                  c.label.isNull() ? std::nullopt : std::optional<QString>(c.label));
        EXPECT_EQ(contact->emails[i]->locationType, c.location);
        EXPECT_EQ(contact->emails[i]->emailAddress, c.label + "@example.com");
        EXPECT_EQ(contact->addresses[i]->location, c.location);
        EXPECT_EQ(contact->addresses[i]->locality, c.label.isNull() ? "" : c.label);
    }
    // The gap: the first label is row 2.
    EXPECT_EQ(reader->_getLabel(1), std::nullopt);
    EXPECT_EQ(reader->_getLabel(2), "_$!<Mobile>!$_");
    EXPECT_EQ(reader->_getLabel(0), std::nullopt);
    EXPECT_EQ(reader->_getLabel(1000), std::nullopt);
}

TEST(ContactsDbReader, ReadsPostalAddressesAndTheFirstWebAddress)
{
    AddressBookFixture book;
    const qint64 ann = book.person(Person::named("Ann", "Lee"));
    book.address(ann,
                 {{"Street", "1 Main St\nApt 4"},
                  {"city", "Springfield"},
                  {"State", "OR"},
                  {"ZIP", "97477"},
                  {"Country", "United States"},
                  {"CountryCode", "us"},
                  {"SubLocality", "ignored"}},
                 "_$!<Work>!$_");
    book.address(ann, {}, "_$!<Home>!$_");
    book.url(ann, "https://ann.example", "_$!<HomePage>!$_");
    book.url(ann, "https://second.example");
    const qint64 bo = book.person(Person::named("Bo", "Ray"));
    const auto reader = loadedReader(book);
    const QELContactPtr contact = contactWithUid(*reader, ann);
    ASSERT_TRUE(contact);
    ASSERT_EQ(contact->addresses.size(), 2u);
    const QELContactAddress& work = *contact->addresses[0];
    EXPECT_EQ(work.streetAddress, "1 Main St,Apt 4");
    EXPECT_EQ(work.locality, "Springfield");
    EXPECT_EQ(work.region, "OR");
    EXPECT_EQ(work.postCode, "97477");
    EXPECT_EQ(work.country, "United States");
    EXPECT_EQ(work.countryCode, "us");
    EXPECT_EQ(work.location, 2);
    EXPECT_FALSE(work.postOfficeBox);
    const QELContactAddress& home = *contact->addresses[1];
    EXPECT_FALSE(home.streetAddress);
    EXPECT_EQ(home.location, 1);
    EXPECT_EQ(contact->url, "https://ann.example");
    EXPECT_EQ(contact->urlLabel, "_$!<HomePage>!$_");
    EXPECT_FALSE(contactWithUid(*reader, bo)->url);
}

TEST(ContactsDbReader, PicturesComeFromTheFirstPictureTableTheDatabaseHas)
{
    using Table = AddressBookImagesFixture::Table;
    struct Case {
        const char* name;
        QList<Table> tables;
        QList<AddressBookImagesFixture::Image> images;
        QByteArray expected;
    };
    const std::vector<Case> cases = {
        {"ABImage, last row wins",
         {Table::ABImage},
         {{Table::ABImage, 1, "first"}, {Table::ABImage, 1, "second"}, {Table::ABImage, 2, "x"}},
         "second"},
        {"ABImage without a row of the person wins over a thumbnail",
         {Table::ABImage, Table::ABThumbnailImage},
         {{Table::ABImage, 2, "other"}, {Table::ABThumbnailImage, 1, "thumb"}},
         QByteArray()},
        {"thumbnail only",
         {Table::ABThumbnailImage},
         {{Table::ABThumbnailImage, 1, "thumb"}},
         "thumb"},
        {"full size before thumbnail",
         {Table::ABFullSizeImage, Table::ABThumbnailImage},
         {{Table::ABThumbnailImage, 1, "thumb"}, {Table::ABFullSizeImage, 1, "full"}},
         "full"},
        {"no picture table", {}, {}, QByteArray()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AddressBookFixture book;
        book.person(Person::named("Ann", "Lee"));
        AddressBookImagesFixture images(c.tables);
        for (const auto& image : c.images)
            images.image(image.recordId, image.data, image.table);
        const auto reader = loadedReader(book, &images);
        const QELContactPtr contact = contactWithUid(*reader, 1);
        ASSERT_TRUE(contact);
        EXPECT_EQ(contact->picture, c.expected);
    }
}

TEST(ContactsDbReader, ADamagedOrEmptyPicturesFileIsNamedAndThePeopleStillRead)
{
    const QString folder = TestEnvironment::home() + "/pictures";
    ASSERT_TRUE(QDir().mkpath(folder));
    AddressBookFixture book;
    book.person(Person::named("Ann", "Lee"));
    const QString bookPath = folder + "/AddressBook.sqlitedb";
    ASSERT_TRUE(book.write(bookPath));
    AddressBookImagesFixture images({AddressBookImagesFixture::Table::ABThumbnailImage});
    for (int i = 0; i < 300; ++i)
        images.image(1, QByteArray(900, char('a' + i % 26)),
                     AddressBookImagesFixture::Table::ABThumbnailImage);
    const QString goodPath = folder + "/good.sqlitedb";
    ASSERT_TRUE(images.write(goodPath));
    QFile goodFile(goodPath);
    ASSERT_TRUE(goodFile.open(QIODevice::ReadOnly));
    const QByteArray good = goodFile.readAll();

    struct Case {
        const char* name;
        std::function<bool(const QString&)> make;
        const char* says; // empty: read without complaint
    };
    auto withBytes = [](const QByteArray& bytes) {
        return [bytes](const QString& path) {
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
        };
    };
    const std::vector<Case> cases = {
        {"sound", withBytes(good), ""},
        {"empty", withBytes(QByteArray()), "is empty"},
        {"not a database", withBytes(QByteArray(4096, 'x')), "is damaged"},
        {"truncated header", withBytes(good.left(60)), "is damaged"},
        {"damaged pages",
         [&](const QString& path) {
             return withBytes(good)(path) && SQLiteDamage::damageMiddleOf(path, "ABThumbnailImage");
         },
         "is damaged"},
        {"no picture table",
         [](const QString& path) {
             SQLiteFixtureWriter db(path);
             db.exec(QStringLiteral("CREATE TABLE ABStore (ROWID INTEGER PRIMARY KEY, data BLOB)"));
             return db.commit();
         },
         "holds no picture table"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = folder + "/" + c.name + "/AddressBookImages.sqlitedb";
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        ASSERT_TRUE(c.make(path));
        auto reader = QELContactsDbReader::initWithContactsDbPathAndPicturesDb(bookPath, path);
        ASSERT_TRUE(reader);
        EXPECT_TRUE(reader->loadContacts());
        EXPECT_EQ(reader->getContacts().size(), 1) << "the people are read all the same";
        if (!*c.says) {
            EXPECT_TRUE(reader->picturesError().isEmpty()) << reader->picturesError().toStdString();
            continue;
        }
        EXPECT_TRUE(reader->picturesError().contains("AddressBookImages.sqlitedb"))
            << reader->picturesError().toStdString();
        EXPECT_TRUE(reader->picturesError().contains(QLatin1String(c.says)))
            << reader->picturesError().toStdString();
    }
}

TEST(ContactsDbReader, BadFilesGiveAClearAnswerAndNoContacts)
{
    const QString folder = TestEnvironment::home();
    AddressBookFixture book;
    book.person(Person::named("Ann", "Lee"));
    const QString good = folder + "/good.sqlitedb";
    ASSERT_TRUE(book.write(good));
    QFile goodFile(good);
    ASSERT_TRUE(goodFile.open(QIODevice::ReadOnly));
    const QByteArray bytes = goodFile.readAll();

    struct Case {
        const char* name;
        QByteArray content;
        bool exists = true;
    };
    const std::vector<Case> cases = {
        {"missing", {}, false},
        {"empty", QByteArray()},
        {"truncated header", bytes.left(50)},
        {"truncated pages", bytes.left(1024)},
        {"not a database", QByteArray("BEGIN:VCARD\r\nEND:VCARD\r\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = folder + "/" + c.name + ".sqlitedb";
        if (c.exists) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(c.content);
        }
        auto reader = QELContactsDbReader::initWithContactsDbPathAndPicturesDb(path, QString());
        ASSERT_TRUE(reader);
        EXPECT_EQ(reader->loadContacts(), c.exists);
        EXPECT_TRUE(reader->getContacts().isEmpty());
        EXPECT_FALSE(reader->lastError().isEmpty());
    }
}

// Pages of the people table that point back at one another answer the same
// people again and again, more rows than the file could hold: the read ends
// as damaged, with no contact, rather than as a list that looks whole.
TEST(ContactsDbReader, PeoplePagesThatRepeatEndTheReadAsDamaged)
{
    AddressBookFixture book;
    for (int i = 1; i <= 400; ++i)
        book.person(Person::named(QStringLiteral("Given%1 with a long enough name").arg(i),
                                  QStringLiteral("Family%1").arg(i)));
    const QString path = TestEnvironment::home() + "/AddressBook.sqlitedb";
    ASSERT_TRUE(book.write(path));
    ASSERT_TRUE(SQLiteDamage::repeatRows(path, "ABPerson", 4, 6));
    auto reader = QELContactsDbReader::initWithContactsDbPathAndPicturesDb(path, QString());
    ASSERT_TRUE(reader);
    ASSERT_TRUE(reader->loadContacts());
    EXPECT_TRUE(reader->getContacts().isEmpty());
    EXPECT_EQ(reader->mergedCount(), 0);
    EXPECT_TRUE(reader->lastError().startsWith(
        QStringLiteral("this database is damaged: the people could not be read: ")))
        << reader->lastError().toStdString();
    EXPECT_TRUE(reader->lastError().contains(QStringLiteral("more rows than the file could hold")))
        << reader->lastError().toStdString();
}

// An address book with enough people and values to fill many pages.
AddressBookFixture manyPeople(int count)
{
    AddressBookFixture book;
    for (int i = 1; i <= count; ++i) {
        const qint64 person =
            book.person(Person::named(QStringLiteral("Given%1 with a long enough name").arg(i),
                                      QStringLiteral("Family%1").arg(i)));
        book.phone(person, QStringLiteral("+1 555 %1").arg(i, 7, 10, QLatin1Char('0')),
                   QStringLiteral("_$!<Mobile>!$_"));
        book.email(person, QStringLiteral("person%1@example.com").arg(i));
    }
    return book;
}

// An address book that cannot be read to its end is not read at all: the
// store holds no contact, and the reason says the file is damaged (never "not
// an error").
TEST(ContactsDbReader, AnAddressBookThatCannotBeReadToItsEndIsDamaged)
{
    auto neverAnswers = [](const QString& path, const QString& table) {
        return SQLiteDamage::slowDown(path, table, 1'000'000'000'000);
    };
    struct Case {
        const char* what;
        const char* table;
        std::function<bool(const QString& path, const QString& table)> damage;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"a view of people that never answers", "ABPerson", neverAnswers,
         "the people could not be read: a query ran past its time limit"},
        {"a view of values that never answers", "ABMultiValue", neverAnswers,
         "the values of the people could not be read: a query ran past its time limit"},
        {"a view of labels that never answers", "ABMultiValueLabel", neverAnswers,
         "the labels could not be read: a query ran past its time limit"},
        {"a view of endless people", "ABPerson", SQLiteDamage::makeEndless, "the people"},
        {"a damaged page among the people", "ABPerson", SQLiteDamage::damageMiddleOf, "the people"},
        {"a damaged page among the values", "ABMultiValue", SQLiteDamage::damageMiddleOf,
         "the values of the people"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = TestEnvironment::home() + QStringLiteral("/%1.sqlitedb").arg(++n);
        ASSERT_TRUE(manyPeople(400).write(path));
        ASSERT_TRUE(c.damage(path, QLatin1String(c.table)));
        auto reader = QELContactsDbReader::initWithContactsDbPathAndPicturesDb(path, QString());
        ASSERT_TRUE(reader);
        reader->setReadBudget(std::chrono::milliseconds(300));
        EXPECT_TRUE(reader->loadContacts());
        const QString error = reader->lastError();
        EXPECT_TRUE(error.startsWith(QStringLiteral("this database is damaged: ")))
            << error.toStdString();
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
        EXPECT_FALSE(error.contains(QStringLiteral("not an error")));
        EXPECT_TRUE(reader->getContacts().isEmpty());
    }
}

// One budget for the whole address book: the values are asked for once per
// person, and statements that each fit the budget do not all run to their
// end. Pictures are a read of their own: one that cannot finish leaves every
// contact without a picture, the people whole, and names the file.
TEST(ContactsDbReader, TheStatementsOfOneReadShareOneBudget)
{
    const QString path = TestEnvironment::home() + "/AddressBook.sqlitedb";
    ASSERT_TRUE(manyPeople(20).write(path));
    const QString whole = TestEnvironment::home() + "/whole.sqlitedb";
    ASSERT_TRUE(QFile::copy(path, whole));
    const qint64 steps = 300'000;
    ASSERT_TRUE(SQLiteDamage::slowDown(path, "ABMultiValue", steps));
    const std::chrono::milliseconds budget = SQLiteDamage::timeToCount(steps) * 3;
    auto reader = QELContactsDbReader::initWithContactsDbPathAndPicturesDb(path, QString());
    reader->setReadBudget(budget);
    EXPECT_TRUE(reader->loadContacts());
    EXPECT_TRUE(reader->getContacts().isEmpty());
    EXPECT_TRUE(reader->lastError().startsWith(
        QStringLiteral("this database is damaged: the values of the people could not be read: "
                       "a query ran past its time limit")))
        << reader->lastError().toStdString();

    using Table = AddressBookImagesFixture::Table;
    AddressBookImagesFixture images({Table::ABThumbnailImage});
    for (int person = 1; person <= 20; ++person)
        images.image(person, QByteArray(100, 'p'), Table::ABThumbnailImage);
    const QString pictures = TestEnvironment::home() + "/AddressBookImages.sqlitedb";
    ASSERT_TRUE(images.write(pictures));
    ASSERT_TRUE(SQLiteDamage::slowDown(pictures, "ABThumbnailImage", steps));
    reader = QELContactsDbReader::initWithContactsDbPathAndPicturesDb(whole, pictures);
    reader->setReadBudget(budget);
    EXPECT_TRUE(reader->loadContacts());
    EXPECT_TRUE(reader->lastError().isEmpty()) << reader->lastError().toStdString();
    const QList<QELContactPtr> contacts = reader->getContacts();
    EXPECT_EQ(contacts.size(), 20);
    for (const QELContactPtr& contact : contacts)
        EXPECT_TRUE(contact->picture.isEmpty());
    EXPECT_TRUE(reader->picturesError().startsWith(QStringLiteral(
        "AddressBookImages.sqlitedb: this database is damaged: the pictures could not be read: "
        "a query ran past its time limit")))
        << reader->picturesError().toStdString();
}

TEST(ContactsDbReader, OlderSchemasWithoutSomeColumnsLeaveTheirFieldsUnset)
{
    const QString path = TestEnvironment::home() + "/old.sqlitedb";
    {
        SQLiteFixtureWriter db(path);
        db.exec("CREATE TABLE ABPerson (ROWID INTEGER PRIMARY KEY, First TEXT, Last TEXT);"
                "CREATE TABLE ABMultiValue (UID INTEGER PRIMARY KEY, record_id INTEGER,"
                " property INTEGER, value TEXT);");
        db.run("INSERT INTO ABPerson VALUES (4, 'Ann', 'Lee')");
        db.run("INSERT INTO ABMultiValue VALUES (1, 4, 3, '+1 555 0100')");
        ASSERT_TRUE(db.commit());
    }
    auto reader = QELContactsDbReader::initWithContactsDbPathAndPicturesDb(path, QString());
    ASSERT_TRUE(reader->loadContacts());
    const QList<QELContactPtr> contacts = reader->getContacts();
    ASSERT_EQ(contacts.size(), 1);
    const QELContact& c = *contacts[0];
    EXPECT_EQ(c.uid, 4);
    EXPECT_FALSE(c.organisation);
    EXPECT_FALSE(c.note);
    EXPECT_FALSE(c.additionalName);
    ASSERT_EQ(c.telephones.size(), 1u);
    EXPECT_EQ(c.telephones[0]->telephoneNumber, "+1 555 0100");
    EXPECT_FALSE(c.telephones[0]->locationType);
    EXPECT_TRUE(reader->lastError().isEmpty());
}

TEST(ContactsDbReader, ReadsRowsThatLiveOnlyInTheWriteAheadLog)
{
    const QString written = TestEnvironment::home() + "/written.sqlitedb";
    const QString path = TestEnvironment::home() + "/wal.sqlitedb";
    AddressBookFixture book;
    book.person(Person::named("Ann", "Lee"));
    ASSERT_TRUE(book.write(written));
    ASSERT_TRUE(copyWithRowsInWal(
        written, path, "INSERT INTO ABPerson (ROWID, First, Last) VALUES (2, 'Bo', 'Ray')"));
    ASSERT_GT(QFileInfo(path + "-wal").size(), 0);
    auto reader = QELContactsDbReader::initWithContactsDbPathAndPicturesDb(path, QString());
    ASSERT_TRUE(reader->loadContacts());
    EXPECT_TRUE(contactWithUid(*reader, 2));
}

TEST(ContactsStore, EachReadStartsFromAnEmptyStoreFile)
{
    AddressBookFixture first;
    first.person(Person::named("Ann", "Lee"));
    const auto one = loadedReader(first);
    ASSERT_EQ(one->getContacts().size(), 1);
    const QString storePath = one->store()->filePath();
    EXPECT_TRUE(storePath.endsWith("/contacts.dat"));
    EXPECT_FALSE(one->store()->isInMemory());

    const auto two = loadedReader(AddressBookFixture());
    EXPECT_TRUE(two->getContacts().isEmpty());
    EXPECT_EQ(two->store()->filePath(), storePath);
    // The file holds what the second read saved: nobody.
    QELSQLiteStatement count = two->store()->prepare("SELECT count(*) FROM QELContact");
    ASSERT_TRUE(count.step());
    EXPECT_EQ(count.int64(0), 0);
    // The first read's objects stay whole for whoever still holds them.
    EXPECT_EQ(one->getContacts()[0]->givenName, "Ann");
}

TEST(ContactsStore, SavesEveryContactAndDetail)
{
    AddressBookFixture book;
    const qint64 ann = book.person(Person::named("Ann", "Lee"));
    book.phone(ann, "+1 555 0100", "_$!<Mobile>!$_");
    book.email(ann, "ann@example.com");
    book.address(ann, {{"City", "Paris"}});
    const auto reader = loadedReader(book);
    for (const auto& [table, expected] :
         std::vector<std::pair<QString, qint64>>{{"QELContact", 1},
                                                 {"QELContactTelephone", 1},
                                                 {"QELContactEMail", 1},
                                                 {"QELContactAddress", 1},
                                                 {"QELContactNickName", 0}}) {
        SCOPED_TRACE(table.toStdString());
        QELSQLiteStatement count = reader->store()->prepare("SELECT count(*) FROM " + table);
        ASSERT_TRUE(count.step());
        EXPECT_EQ(count.int64(0), expected);
    }
}

TEST(ContactsStore, ListsContactsByTheirKeyInCharacterOrder)
{
    AddressBookFixture book;
    book.person(Person::named("zebra", QString()));
    book.person(Person::named("Zed", QString()));
    book.person(Person::named(QString(), QString(), "acme"));
    book.person(Person::named(QString(), "Ärger"));
    book.person(Person::named("Bo", QString()));
    const auto reader = loadedReader(book);
    QStringList order;
    for (const QELContactPtr& contact : reader->getContacts())
        order << contact->searchReference.value_or("<none>");
    EXPECT_EQ(order, (QStringList{"Bo", "Zed", "acme", "zebra", "Ärger"}));
}

} // namespace
