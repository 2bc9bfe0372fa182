// SPDX-License-Identifier: GPL-3.0-or-later
// The merge of duplicate entries, the detail comparisons it rests on, and the
// choice of texts it makes.
#include <gtest/gtest.h>

#include "ContactsTestSupport.h"
#include "QtPrinters.h"

namespace {

using Person = AddressBookFixture::Person;

struct Entry {
    qint64 uid;
    const char* given;
    const char* family;
    const char* organisation; // null: none
};

// Writes entries in the order given, each at its uid (earlier uids are
// filled with people nobody merges with).
AddressBookFixture bookOf(const std::vector<Entry>& entries)
{
    qint64 top = 0;
    for (const Entry& e : entries)
        top = std::max(top, e.uid);
    std::vector<Person> people(static_cast<size_t>(top));
    for (qint64 i = 0; i < top; ++i)
        people[size_t(i)] = Person::named(QStringLiteral("Filler%1").arg(i), "Nobody");
    for (const Entry& e : entries)
        people[size_t(e.uid - 1)] =
            Person::named(QString::fromUtf8(e.given), QString::fromUtf8(e.family),
                          e.organisation ? QString::fromUtf8(e.organisation) : QString());
    AddressBookFixture book;
    for (const Person& p : people)
        book.person(p);
    return book;
}

TEST(ContactMerge, FoldsEntriesOfOnePerson)
{
    struct Case {
        const char* name;
        std::vector<Entry> entries;
        // uid -> organisation of each surviving Ann Lee ("" for none).
        std::vector<std::pair<qint64, QString>> survivors;
    };
    const std::vector<Case> cases = {
        {"no organisation joins the earlier one with it",
         {{7, "ANN", "LEE", nullptr}, {3, "Ann", "Lee", "Acme"}},
         {{3, "Acme"}}},
        {"two organisations stay apart",
         {{1, "Ann", "Lee", "Acme"}, {2, "Ann", "Lee", "Globex"}},
         {{1, "Acme"}, {2, "Globex"}}},
        {"organisations compared without case",
         {{1, "Ann", "Lee", "Acme"}, {2, "Ann", "Lee", nullptr}, {3, "Ann", "Lee", "acme"}},
         {{1, "Acme"}}},
        {"an organisation-less survivor takes the organisation",
         {{1, "Ann", "Lee", nullptr}, {2, "Ann", "Lee", "Acme"}},
         {{1, "Acme"}}},
        {"blanks around the key do not count",
         {{1, "Ann", "Lee", nullptr}, {2, "ann", "lee ", nullptr}, {3, " Ann", "Lee", nullptr}},
         {{1, ""}}},
        {"swapped names are another person",
         {{1, "Ann", "Lee", nullptr}, {2, "Lee", "Ann", nullptr}},
         {{1, ""}}},
        {"a survivor that took an organisation no longer takes others",
         {{1, "Ann", "Lee", nullptr},
          {2, "Ann", "Lee", "Globex"},
          {3, "Ann", "Lee", "Acme"},
          {4, "Ann", "Lee", "Acme"}},
         {{1, "Globex"}, {3, "Acme"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto reader = loadedReader(bookOf(c.entries));
        std::vector<std::pair<qint64, QString>> survivors;
        for (const QELContactPtr& contact : reader->getContacts()) {
            if (contact->familyName.value_or("").trimmed().compare("Lee", Qt::CaseInsensitive) == 0
                && contact->givenName.value_or("").trimmed().compare("Ann", Qt::CaseInsensitive)
                    == 0)
                survivors.emplace_back(*contact->uid, contact->organisation.value_or(""));
        }
        std::sort(survivors.begin(), survivors.end());
        EXPECT_EQ(survivors, c.survivors);
    }
}

TEST(ContactMerge, TheSurvivorKeepsItsNamesAndTakesWhatItLacks)
{
    AddressBookFixture book;
    Person first = Person::named("Ann", "Lee");
    first.note = "";
    const qint64 one = book.person(first);
    book.phone(one, "+1 555 0100", "_$!<Mobile>!$_");
    book.email(one, "ann@example.com", "_$!<Home>!$_");
    Person second = Person::named("ANN", "LEE");
    second.note = "from the second";
    second.prefix = "Dr.";
    second.nickname = "Annie";
    second.birthday = "339163200";
    const qint64 two = book.person(second);
    // The same number without a label has other flags: both stay.
    book.phone(two, "+1 555 0100");
    book.phone(two, "+1 555 0100", "_$!<Mobile>!$_");
    book.email(two, "ann@example.com", "_$!<Home>!$_");
    book.email(two, "ANN@example.com", "_$!<Home>!$_");
    book.url(two, "https://ann.example", "_$!<HomePage>!$_");
    AddressBookImagesFixture images;
    images.image(two, "picture");
    const auto reader = loadedReader(book, &images);

    const QList<QELContactPtr> contacts = reader->getContacts();
    ASSERT_EQ(contacts.size(), 1);
    EXPECT_EQ(reader->mergedCount(), 1);
    const QELContact& ann = *contacts[0];
    EXPECT_EQ(ann.uid, one);
    EXPECT_EQ(ann.givenName, "Ann");
    EXPECT_EQ(ann.FN, "Lee, Ann");
    EXPECT_EQ(ann.note, "from the second");
    EXPECT_EQ(ann.honorificPrefixes, "Dr.");
    EXPECT_EQ(ann.url, "https://ann.example");
    EXPECT_EQ(ann.urlLabel, "_$!<HomePage>!$_");
    EXPECT_EQ(ann.picture, "picture");
    EXPECT_EQ(ann.birthday, QDate(2011, 10, 1));
    ASSERT_EQ(ann.nickNames.size(), 1u);
    QStringList phones;
    for (const auto& phone : ann.telephones)
        phones << phone->telephoneNumber.value_or("") + (phone->isCell == 1 ? " cell" : "");
    EXPECT_EQ(phones, (QStringList{"+1 555 0100 cell", "+1 555 0100"}));
    QStringList emails;
    for (const auto& email : ann.emails)
        emails << email->emailAddress.value_or("");
    EXPECT_EQ(emails, (QStringList{"ann@example.com", "ANN@example.com"}));
}

TEST(ContactMerge, OrganisationsWithoutNamesMergeWhenEqualWithoutCase)
{
    AddressBookFixture book;
    book.person(Person::named(QString(), QString(), "Acme"));
    book.person(Person::named(QString(), QString(), "ACME"));
    book.person(Person::named(QString(), QString(), "Globex"));
    const auto reader = loadedReader(book);
    QStringList keys;
    for (const QELContactPtr& contact : reader->getContacts())
        keys << contact->searchReference.value_or("");
    EXPECT_EQ(keys, (QStringList{"Acme", "Globex"}));
}

TEST(ContactMerge, TwoEqualDetailsOfTheDuplicateItselfEndAsOne)
{
    AddressBookFixture book;
    const qint64 one = book.person(Person::named("Ann", "Lee"));
    book.email(one, "a@example.com");
    const qint64 two = book.person(Person::named("Ann", "Lee"));
    book.email(two, "b@example.com");
    book.email(two, "b@example.com");
    book.address(two, {{"City", "Paris"}, {"CountryCode", "fr"}});
    book.address(two, {{"City", "Paris"}, {"CountryCode", "FR"}});
    const auto reader = loadedReader(book);
    const QELContactPtr ann = contactWithUid(*reader, one);
    ASSERT_TRUE(ann);
    EXPECT_EQ(ann->emails.size(), 2u);
    // An address moves whole into a survivor without addresses.
    EXPECT_EQ(ann->addresses.size(), 2u);
}

TEST(ContactDetails, CompareAsTheMergeNeeds)
{
    QELContactTelephone a;
    a.telephoneNumber = "+1 555 0100";
    a.isVoice = 1;
    QELContactTelephone b = a;
    EXPECT_TRUE(a.compare(b));
    b.isPager = 0;
    EXPECT_FALSE(a.compare(b)) << "absent and 0 differ";
    b = a;
    b.telephoneNumber = "+15550100";
    EXPECT_FALSE(a.compare(b));

    QELContactAddress x;
    x.locality = "Paris";
    x.countryCode = "fr";
    QELContactAddress y = x;
    y.countryCode = "de";
    EXPECT_TRUE(x.compare(y));
    y.locality = "paris";
    EXPECT_FALSE(x.compare(y));

    QELContactEMail e;
    e.emailAddress = "ann@example.com";
    QELContactEMail f = e;
    f.emailAddress = "Ann@example.com";
    EXPECT_FALSE(e.compare(f));

    QELContactNickName n;
    QELContactNickName m;
    EXPECT_TRUE(n.compare(m));
    m.nickName = "";
    EXPECT_FALSE(n.compare(m));
}

TEST(ContactsReader, UseStringIfSet)
{
    using Text = std::optional<QString>;
    struct Case {
        Text first;
        Text second;
        Text expected;
    };
    const std::vector<Case> cases = {
        {std::nullopt, std::nullopt, std::nullopt}, {QString(""), std::nullopt, QString("")},
        {QString(""), QString("b"), QString("b")},  {std::nullopt, QString("b"), QString("b")},
        {QString("a"), QString("b"), QString("a")}, {QString("a"), std::nullopt, QString("a")},
        {QString(""), QString(""), QString("")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first.value_or("<absent>").toStdString() + " / "
                     + c.second.value_or("<absent>").toStdString());
        EXPECT_EQ(QELContactsReader::useStringIfSet(c.first, c.second), c.expected);
    }
}

} // namespace
