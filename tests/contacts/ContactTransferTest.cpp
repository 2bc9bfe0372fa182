// SPDX-License-Identifier: GPL-3.0-or-later
// The address book transfer: the person made for each contact, the labels of
// its values, one save per run, what failures count, and the collection
// folder the computer's address book is kept in.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>

#include "ContactsTestSupport.h"
#include "FolderAddressBookHost.h"
#include "QELTransferContacts.h"
#include "QtPrinters.h"
#include "RecordingAddressBookHost.h"
#include "RecordingCopyDelegate.h"
#include "TestEnvironment.h"

namespace {

using Label = AddressBookPerson::Label;

QELContactTelephonePtr phone(const QString& number, std::optional<qint64> fax,
                             std::optional<qint64> cell, std::optional<qint64> pager,
                             std::optional<qint64> location)
{
    auto t = std::make_shared<QELContactTelephone>();
    t->telephoneNumber = number;
    t->isFax = fax;
    t->isCell = cell;
    t->isPager = pager;
    t->locationType = location;
    return t;
}

void runTransfer(QELTransferContacts& job, RecordingCopyDelegate& delegate,
                 const QList<QELContactPtr>& contacts)
{
    QVariantList items;
    for (const QELContactPtr& contact : contacts)
        items.append(QVariant::fromValue(contact));
    job.setDelegate(&delegate);
    job.setItemQueue(items);
    job.startCopy();
    ASSERT_TRUE(delegate.waitForAllItemsCopied());
}

TEST(ContactTransfer, LabelsFollowTheFlagsInOrder)
{
    struct Case {
        const char* name;
        QELContactTelephonePtr phone;
        Label expected;
    };
    const std::vector<Case> cases = {
        {"work fax wins over mobile", phone("1", 1, 1, std::nullopt, 2), Label::PhoneWorkFAX},
        {"home fax", phone("2", 1, 0, std::nullopt, 1), Label::PhoneHomeFAX},
        {"fax without location", phone("3", 1, std::nullopt, std::nullopt, std::nullopt),
         Label::PhoneHomeFAX},
        {"mobile", phone("4", 0, 1, 1, 2), Label::PhoneMobile},
        {"pager", phone("5", 0, 0, 1, 2), Label::PhonePager},
        {"work", phone("6", 0, 0, std::nullopt, 2), Label::PhoneWork},
        {"nothing", phone("7", std::nullopt, std::nullopt, std::nullopt, std::nullopt),
         Label::PhoneHome},
    };
    QELContact contact;
    for (const Case& c : cases)
        contact.telephones.push_back(c.phone);
    const AddressBookPerson person = QELTransferContacts::personFromContact(contact);
    ASSERT_EQ(person.phones.size(), qsizetype(cases.size()));
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(person.phones[qsizetype(i)].label, cases[i].expected);
        EXPECT_EQ(person.phones[qsizetype(i)].value, *cases[i].phone->telephoneNumber);
    }
}

TEST(ContactTransfer, MakesThePersonFromTheContact)
{
    QELContact c;
    c.givenName = "Ann";
    c.familyName = "";
    c.honorificPrefixes = "Dr.";
    c.title = "Chemist";
    c.organisation = "Acme";
    c.FN = "";
    c.note = "";
    c.url = "https://ann.example";
    c.role = "ignored";
    c.picture = "ignored";
    auto home = std::make_shared<QELContactEMail>();
    home->emailAddress = "ann@home.example";
    auto work = std::make_shared<QELContactEMail>();
    work->emailAddress = "ann@acme.example";
    work->locationType = 2;
    c.emails = {home, work};
    auto zipCity = std::make_shared<QELContactAddress>();
    zipCity->postCode = "97477";
    zipCity->locality = "Springfield";
    zipCity->location = 2;
    auto extendedOnly = std::make_shared<QELContactAddress>();
    extendedOnly->extendedAddress = "Apt 4";
    extendedOnly->postOfficeBox = "PO 1";
    auto both = std::make_shared<QELContactAddress>();
    both->streetAddress = "1 Main St";
    both->extendedAddress = "Apt 4";
    both->country = "";
    c.addresses = {zipCity, extendedOnly, both};

    const AddressBookPerson p = QELTransferContacts::personFromContact(c);
    EXPECT_EQ(p.firstName, "Ann");
    EXPECT_EQ(p.lastName, "") << "present though empty";
    EXPECT_FALSE(p.middleName);
    EXPECT_EQ(p.title, "Dr.");
    EXPECT_EQ(p.jobTitle, "Chemist");
    EXPECT_EQ(p.organization, "Acme");
    EXPECT_TRUE(p.isCompany);
    EXPECT_FALSE(p.note) << "an empty note is not written";
    ASSERT_EQ(p.urls.size(), 1);
    EXPECT_EQ(p.urls[0].label, Label::HomePage);
    ASSERT_EQ(p.emails.size(), 2);
    EXPECT_EQ(p.emails[0].label, Label::EmailHome);
    EXPECT_EQ(p.emails[1].label, Label::EmailWork);
    ASSERT_EQ(p.addresses.size(), 3);
    const AddressBookPerson::Address& a = p.addresses[0];
    EXPECT_EQ(a.label, Label::AddressWork);
    EXPECT_EQ(a.zip, "97477");
    EXPECT_EQ(a.city, "Springfield");
    EXPECT_FALSE(a.street || a.country || a.countryCode || a.state);
    EXPECT_EQ(p.addresses[1].label, Label::AddressHome);
    EXPECT_EQ(p.addresses[1].street, "Apt 4");
    EXPECT_EQ(p.addresses[2].street, "1 Main St\nApt 4");
    EXPECT_FALSE(p.addresses[2].country);

    c.FN = "Ann";
    EXPECT_FALSE(QELTransferContacts::personFromContact(c).isCompany);
    c.FN = "";
    c.organisation = "";
    EXPECT_FALSE(QELTransferContacts::personFromContact(c).isCompany);
}

TEST(ContactTransfer, AddsEveryContactAndSavesOnce)
{
    auto host = std::make_shared<RecordingAddressBookHost>();
    QELTransferContacts job;
    job.setAddressBookHost(host);
    RecordingCopyDelegate delegate;
    const QELContactPtr ann = makeContact(1, "Ann", "Lee");
    runTransfer(job, delegate, {ann, makeContact(2, "Bo", "Ray"), ann});
    EXPECT_EQ(host->opens(), 1);
    EXPECT_EQ(host->saves(), 1);
    ASSERT_EQ(host->saved().size(), 3u);
    EXPECT_EQ(host->saved()[0].firstName, host->saved()[2].firstName) << "added twice";
    EXPECT_EQ(job.failedItemCount(), 0u);
    EXPECT_EQ(delegate.order(),
              (QStringList{"begin Lee, Ann", "begin Ray, Bo", "begin Lee, Ann", "all done"}));
    for (const auto& begin : delegate.begins())
        EXPECT_EQ(begin.senderClass, std::type_index(typeid(QELTransferContacts)));
}

TEST(ContactTransfer, AnEmptyQueueLeavesTheAddressBookAlone)
{
    auto host = std::make_shared<RecordingAddressBookHost>();
    QELTransferContacts job;
    job.setAddressBookHost(host);
    RecordingCopyDelegate delegate;
    runTransfer(job, delegate, {});
    EXPECT_EQ(host->opens(), 0);
    EXPECT_EQ(host->saves(), 0);
    EXPECT_EQ(delegate.allItemsCopied().size(), 1u);
}

TEST(ContactTransfer, AFailedOpenOrSaveCountsTheRunsPeopleAsNotCopied)
{
    for (const bool failOpen : {true, false}) {
        SCOPED_TRACE(failOpen ? "open fails" : "save fails");
        auto host = std::make_shared<RecordingAddressBookHost>();
        host->setOpenSucceeds(!failOpen);
        host->setSaveSucceeds(false);
        QELTransferContacts job;
        job.setAddressBookHost(host);
        RecordingCopyDelegate delegate;
        runTransfer(job, delegate,
                    {makeContact(1, "Ann", "Lee"), makeContact(2, "Bo", "Ray"), QELContactPtr()});
        EXPECT_EQ(job.failedItemCount(), 3u);
        EXPECT_TRUE(host->saved().empty());
        EXPECT_EQ(delegate.allItemsCopied().size(), 1u);
    }
}

// Cancels the job as the third person comes in.
class CancellingHost : public RecordingAddressBookHost {
public:
    QELCopy* job = nullptr;
    QString addPerson(const AddressBookPerson& person) override
    {
        const QString id = RecordingAddressBookHost::addPerson(person);
        if (added().size() == 3)
            job->cancelCopy();
        return id;
    }
};

TEST(ContactTransfer, ACancelledRunSavesThePeopleAddedBeforeIt)
{
    auto host = std::make_shared<CancellingHost>();
    QELTransferContacts job;
    host->job = &job;
    job.setAddressBookHost(host);
    RecordingCopyDelegate delegate;
    QList<QELContactPtr> contacts;
    for (int i = 0; i < 10; ++i)
        contacts.append(makeContact(i + 1, QString::number(i), "Lee"));
    runTransfer(job, delegate, contacts);
    EXPECT_EQ(host->added().size(), 3u);
    EXPECT_EQ(host->saved().size(), 3u);
    EXPECT_EQ(host->saves(), 1);
    EXPECT_EQ(job.failedItemCount(), 0u);
}

TEST(FolderAddressBookHost, WritesOneVCardPerPersonOnSave)
{
    FolderAddressBookHost host;
    EXPECT_EQ(host.folder(), TestEnvironment::home() + "/.local/share/contacts/default")
        << "XDG_DATA_HOME points into the test home";
    ASSERT_TRUE(host.open());
    AddressBookPerson company;
    company.organization = "Acme; Inc";
    company.firstName = "";
    company.isCompany = true;
    company.phones.append({Label::PhoneWorkFAX, "+1 555 0100"});
    company.addresses.append({Label::AddressWork, QString("1 Main St\nApt 4"), QString("USA"),
                              QString("us"), QString("97477"), QString("Springfield"),
                              std::nullopt});
    AddressBookPerson person;
    person.firstName = "Ann";
    person.lastName = "Lee";
    person.middleName = "Jo";
    person.emails.append({Label::EmailHome, "ann@example.com"});
    person.urls.append({Label::HomePage, "https://ann.example"});
    person.note = "a\nb";
    EXPECT_FALSE(host.addPerson(company).isEmpty());
    EXPECT_FALSE(host.addPerson(person).isEmpty());
    EXPECT_TRUE(host.hasUnsavedChanges());
    EXPECT_TRUE(QDir(host.folder()).entryList(QDir::Files).isEmpty()) << "nothing before save";
    ASSERT_TRUE(host.save());
    EXPECT_FALSE(host.hasUnsavedChanges());
    QStringList files = QDir(host.folder()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    ASSERT_EQ(files.size(), 2) << files.join(" ").toStdString();
    QStringList paths;
    for (const QString& file : files) {
        EXPECT_TRUE(file.endsWith(".vcf"));
        paths << host.folder() + "/" + file;
    }
    QString error;
    const QByteArray json = vobjectReading(paths, &error);
    ASSERT_FALSE(json.isEmpty()) << error.toStdString();
    bool sawCompany = false;
    bool sawPerson = false;
    for (const QJsonValue& value : QJsonDocument::fromJson(json).array()) {
        const QJsonObject card = value.toObject();
        ASSERT_FALSE(card.contains("error")) << card.value("error").toString().toStdString();
        const QJsonObject props = card.value("props").toObject();
        const QString uid = props.value("UID").toArray().at(0).toObject().value("value").toString();
        EXPECT_TRUE(card.value("file").toString().endsWith("/" + uid + ".vcf"));
        auto value1 = [&props](const char* name) {
            return props.value(QLatin1String(name)).toArray().at(0).toObject().value("value");
        };
        auto types = [&props](const char* name) {
            return props.value(QLatin1String(name))
                .toArray()
                .at(0)
                .toObject()
                .value("params")
                .toObject()
                .value("TYPE");
        };
        if (props.contains("X-ABSHOWAS")) {
            sawCompany = true;
            EXPECT_EQ(value1("X-ABSHOWAS").toString(), "COMPANY");
            EXPECT_EQ(value1("FN").toString(), "Acme; Inc");
            EXPECT_EQ(value1("ORG").toArray(), QJsonArray{"Acme; Inc"});
            EXPECT_EQ(types("TEL"), (QJsonArray{"WORK", "FAX"}));
            EXPECT_EQ(value1("ADR").toArray(),
                      (QJsonArray{"", "", "1 Main St\nApt 4", "Springfield", "", "97477", "USA"}));
        } else {
            sawPerson = true;
            EXPECT_EQ(value1("FN").toString(), "Ann Jo Lee");
            EXPECT_EQ(value1("N").toArray(), (QJsonArray{"Lee", "Ann", "Jo", "", ""}));
            EXPECT_EQ(value1("EMAIL").toString(), "ann@example.com");
            EXPECT_EQ(types("EMAIL"), QJsonArray{"HOME"});
            EXPECT_EQ(value1("URL").toString(), "https://ann.example");
            EXPECT_EQ(value1("NOTE").toString(), "a\nb");
        }
    }
    EXPECT_TRUE(sawCompany && sawPerson);
}

TEST(FolderAddressBookHost, TheCollectionSettingNamesAFolderNeverAPath)
{
    struct Case {
        QVariant setting;
        QString folder;
    };
    const std::vector<Case> cases = {
        {QVariant(), "default"},     {QString("Phone"), "Phone"}, {QString("../escape"), "default"},
        {QString("a/b"), "default"}, {QString(".."), "default"},  {QString(""), "default"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting.toString().toStdString());
        QSettings settings;
        if (c.setting.isValid())
            settings.setValue(FolderAddressBookHost::kCollectionSetting, c.setting);
        else
            settings.remove(FolderAddressBookHost::kCollectionSetting);
        settings.sync();
        EXPECT_EQ(FolderAddressBookHost::defaultFolder(),
                  TestEnvironment::home() + "/.local/share/contacts/" + c.folder);
    }
}

TEST(FolderAddressBookHost, TheTransferAddsToTheCollection)
{
    const QString folder = TestEnvironment::home() + "/book";
    QELTransferContacts job;
    job.setAddressBookHost(std::make_shared<FolderAddressBookHost>(folder));
    RecordingCopyDelegate delegate;
    runTransfer(job, delegate, {makeContact(1, "Ann", "Lee"), makeContact(2, "Bo", "Ray")});
    EXPECT_EQ(QDir(folder).entryList({"*.vcf"}, QDir::Files).size(), 2);
    EXPECT_EQ(job.failedItemCount(), 0u);
}

TEST(FolderAddressBookHost, AFolderThatCannotBeMadeFailsTheRun)
{
    const QString blocker = TestEnvironment::home() + "/file";
    {
        QFile file(blocker);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QELTransferContacts job;
    job.setAddressBookHost(std::make_shared<FolderAddressBookHost>(blocker + "/book"));
    RecordingCopyDelegate delegate;
    runTransfer(job, delegate, {makeContact(1, "Ann", "Lee")});
    EXPECT_EQ(job.failedItemCount(), 1u);
}

} // namespace
