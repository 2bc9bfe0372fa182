// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect contacts FOLDER [--export DIR]` run as a program.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "ContactsTestSupport.h"
#include "QELCopyContacts.h"
#include "QtPrinters.h"
#include "RecordingCopyDelegate.h"
#include "SQLiteDamage.h"
#include "TestEnvironment.h"
#include "ToolRun.h"

namespace {

using Person = AddressBookFixture::Person;

ToolRun inspect(const QStringList& arguments)
{
    return runTool(QStringLiteral(ORVANE_INSPECT_PATH), QStringList{"contacts"} + arguments);
}

QString folderWith(const AddressBookFixture& book, const AddressBookImagesFixture* images,
                   const QString& name)
{
    const QString folder = TestEnvironment::home() + "/" + name;
    EXPECT_TRUE(QDir().mkpath(folder));
    EXPECT_TRUE(book.write(folder + "/AddressBook.sqlitedb"));
    if (images) {
        EXPECT_TRUE(images->write(folder + "/AddressBookImages.sqlitedb"));
    }
    return folder;
}

AddressBookFixture edgeCases()
{
    AddressBookFixture book;
    book.setHasDeletedLabelRow(true);
    Person ann = Person::named("Ann", "Lee", "Acme");
    ann.middle = "Jo";
    ann.nickname = "Annie";
    ann.birthday = "339163200";
    ann.note = "note";
    ann.jobTitle = "Chemist";
    const qint64 a = book.person(ann);
    book.phone(a, "+1 555 0100", "_$!<Mobile>!$_");
    book.phone(a, "+1 555 0101");
    book.email(a, "ann@acme.example", "_$!<Work>!$_");
    book.url(a, "https://ann.example", "_$!<HomePage>!$_");
    book.address(a,
                 {{"Street", "1 Main St\nApt 4"},
                  {"City", "Springfield"},
                  {"State", "OR"},
                  {"ZIP", "97477"},
                  {"Country", "USA"}},
                 "_$!<Work>!$_");
    Person duplicate = Person::named("ann", "lee", "ACME");
    duplicate.middle = "JO";
    book.person(duplicate);
    book.person(Person::named(QString(), QString(), "Globex"));
    Person prefix;
    prefix.prefix = "Dr.";
    book.person(prefix);
    for (const char* name : {"../x", "a/b", ".", "A, B; C:", "line\nbreak"})
        book.person(Person::named(QString::fromUtf8(name), "Hostile"));
    book.person(Person::named(QString(300, 'n'), QString()));
    return book;
}

TEST(InspectContacts, PrintsEveryFixtureAsTheStoreHoldsIt)
{
    AddressBookImagesFixture images;
    images.image(1, QByteArray(1234, 'p'));
    AddressBookImagesFixture demoImages({AddressBookImagesFixture::Table::ABThumbnailImage});
    demoImages.image(5, "thumb", AddressBookImagesFixture::Table::ABThumbnailImage);
    struct Case {
        const char* name;
        AddressBookFixture book;
        const AddressBookImagesFixture* images;
    };
    const std::vector<Case> cases = {
        {"edge", edgeCases(), &images},
        {"demo", AddressBookFixture::demo(), &demoImages},
        {"empty", AddressBookFixture(), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolRun run = inspect({folderWith(c.book, c.images, c.name)});
        ASSERT_EQ(run.exitCode, 0) << run.err.constData();
        const auto reader = loadedReader(c.book, c.images);
        const QList<QELContactPtr> contacts = reader->getContacts();
        const QJsonArray printed = run.json().value("contacts").toArray();
        ASSERT_EQ(printed.size(), contacts.size());
        EXPECT_EQ(run.json().value("merged").toInt(), reader->mergedCount());
        for (qsizetype i = 0; i < printed.size(); ++i) {
            const QJsonObject p = printed.at(i).toObject();
            const QELContact& contact = *contacts[i];
            EXPECT_EQ(p.value("id").toString(), QString::number(*contact.uid));
            EXPECT_EQ(p.value("firstName").toString(), contact.givenName.value_or(""));
            EXPECT_EQ(p.value("lastName").toString(), contact.familyName.value_or(""));
            EXPECT_EQ(p.value("phones").toArray().size(), qsizetype(contact.telephones.size()));
            EXPECT_EQ(p.value("emails").toArray().size(), qsizetype(contact.emails.size()));
            EXPECT_EQ(p.value("addresses").toArray().size(), qsizetype(contact.addresses.size()));
        }
    }
}

TEST(InspectContacts, PrintsTheFieldsAndLabelsOfAContact)
{
    AddressBookImagesFixture images;
    images.image(1, QByteArray(1234, 'p'));
    const ToolRun run = inspect({folderWith(edgeCases(), &images, "fields")});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(run.json().value("merged").toInt(), 1);
    QJsonObject ann;
    for (const QJsonValue& value : run.json().value("contacts").toArray())
        if (value.toObject().value("id").toString() == "1")
            ann = value.toObject();
    ASSERT_FALSE(ann.isEmpty());
    const QJsonObject expected = QJsonDocument::fromJson(R"({
        "id": "1", "firstName": "Ann", "middleName": "Jo", "lastName": "Lee",
        "organization": "Acme", "jobTitle": "Chemist", "nickname": "Annie",
        "birthday": "2011-10-01", "note": "note",
        "phones": [{"label": "_$!<Mobile>!$_", "value": "+1 555 0100"},
                   {"label": null, "value": "+1 555 0101"}],
        "emails": [{"label": "_$!<Work>!$_", "value": "ann@acme.example"}],
        "urls": [{"label": "_$!<HomePage>!$_", "value": "https://ann.example"}],
        "addresses": [{"label": "_$!<Work>!$_", "street": "1 Main St,Apt 4",
                       "city": "Springfield", "state": "OR", "postalCode": "97477",
                       "country": "USA"}],
        "imageBytes": 1234})")
                                     .object();
    EXPECT_EQ(ann, expected) << QJsonDocument(ann).toJson().constData();
}

TEST(InspectContacts, RefusesFoldersWithoutAReadableAddressBook)
{
    const QString empty = TestEnvironment::home() + "/nothing";
    ASSERT_TRUE(QDir().mkpath(empty));
    ToolRun run = inspect({empty});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("AddressBook.sqlitedb")) << run.err.constData();

    const QString truncated = TestEnvironment::home() + "/truncated";
    ASSERT_TRUE(QDir().mkpath(truncated));
    QFile file(truncated + "/AddressBook.sqlitedb");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("SQLite format 3\0", 16);
    file.close();
    run = inspect({truncated});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.json().isEmpty());
}

// Damaged among its people: the messages' shape of damage, nothing printed.
TEST(InspectContacts, ADamagedAddressBookFailsAsDamaged)
{
    AddressBookFixture book;
    for (int i = 1; i <= 400; ++i)
        book.person(Person::named(QStringLiteral("Given%1 with a long enough name").arg(i),
                                  QStringLiteral("Family%1").arg(i)));
    const QString folder = folderWith(book, nullptr, "damaged-book");
    ASSERT_TRUE(SQLiteDamage::damageMiddleOf(folder + "/AddressBook.sqlitedb", "ABPerson"));
    const ToolRun run = inspect({folder});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(
        run.err.startsWith("orvane-inspect: AddressBook.sqlitedb: this database is damaged: "))
        << run.err.constData();
}

TEST(InspectContacts, SaysWhichPicturesFileIsDamagedOrEmpty)
{
    AddressBookFixture book;
    book.person(Person::named("Ann", "Lee"));
    struct Case {
        const char* name;
        QByteArray pictures;
        const char* says;
    };
    for (const Case& c :
         std::vector<Case>{{"empty-pictures", QByteArray(), "is empty"},
                           {"damaged-pictures", QByteArray(8192, '\x7f'), "is damaged"}}) {
        SCOPED_TRACE(c.name);
        const QString folder = folderWith(book, nullptr, c.name);
        QFile file(folder + "/AddressBookImages.sqlitedb");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.pictures);
        file.close();
        const ToolRun run = inspect({folder});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains("AddressBookImages.sqlitedb")) << run.err.constData();
        EXPECT_TRUE(run.err.contains(c.says)) << run.err.constData();
        // The people are printed all the same.
        EXPECT_EQ(run.json().value("contacts").toArray().size(), 1);
    }
}

TEST(InspectContacts, ExportWritesExactlyTheJobsFiles)
{
    const AddressBookFixture book = edgeCases();
    const QString exported = TestEnvironment::home() + "/exported";
    const ToolRun run = inspect({folderWith(book, nullptr, "export"), "--export", exported});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();

    const QString byJob = TestEnvironment::home() + "/byjob";
    ASSERT_TRUE(QDir().mkpath(byJob));
    const auto reader = loadedReader(book);
    QVariantList items;
    for (const QELContactPtr& contact : reader->getContacts())
        items.append(QVariant::fromValue(contact));
    QELCopyContacts job;
    RecordingCopyDelegate delegate;
    job.setDelegate(&delegate);
    job.setBaseCopyPath(byJob);
    job.setItemQueue(items);
    job.startCopy();
    ASSERT_TRUE(delegate.waitForAllItemsCopied());

    const QStringList files = QDir(exported).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    EXPECT_EQ(files, QDir(byJob).entryList(QDir::Files | QDir::Hidden, QDir::Name));
    EXPECT_EQ(files.size(), items.size());
    for (const QString& name : files) {
        QFile a(exported + "/" + name);
        QFile b(byJob + "/" + name);
        ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        EXPECT_EQ(a.readAll(), b.readAll()) << name.toStdString();
    }
}

} // namespace
