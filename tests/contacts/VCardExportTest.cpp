// SPDX-License-Identifier: GPL-3.0-or-later
// The vCard export: the text of a contact line by line, what a full vCard
// parser reads back from hostile values, and the files a run writes.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "ContactsTestSupport.h"
#include "QELCopyContacts.h"
#include "QtPrinters.h"
#include "RecordingCopyDelegate.h"
#include "TestEnvironment.h"

namespace {

QStringList vCardLines(const QELContact& contact)
{
    return unfoldedLines(QELCopyContacts::_vCardFromContact(contact));
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Runs an export of `contacts` into `folder` and waits for its end.
void runExport(QELCopyContacts& job, RecordingCopyDelegate& delegate, const QString& folder,
               const QList<QELContactPtr>& contacts, size_t runs = 1)
{
    QVariantList items;
    for (const QELContactPtr& contact : contacts)
        items.append(QVariant::fromValue(contact));
    job.setDelegate(&delegate);
    job.setBaseCopyPath(folder);
    job.setItemQueue(items);
    job.startCopy();
    ASSERT_TRUE(delegate.waitForAllItemsCopied(runs));
}

TEST(VCardText, AMinimalContactHasTheFixedLines)
{
    QELContact contact;
    contact.givenName = "Ann";
    contact.FN = "";
    EXPECT_EQ(vCardLines(contact),
              (QStringList{"BEGIN:VCARD", "VERSION:3.0", "PRODID:-//Halvern Ltd.//Orvane 11//EN",
                           "N:;Ann;;;", "FN:Ann", "END:VCARD"}));
    contact.uid = 42;
    EXPECT_EQ(withPrefix(vCardLines(contact), "UID"), QStringList{"UID:42"});
    EXPECT_EQ(vCardLines(contact).size(), 7);
    const QByteArray text = QELCopyContacts::_vCardFromContact(contact);
    EXPECT_TRUE(text.endsWith("END:VCARD\r\n"));
    EXPECT_FALSE(text.startsWith("\xEF\xBB\xBF"));
}

TEST(VCardText, FullNameFallsBackToTheOrganisation)
{
    QELContact company;
    company.organisation = "Acme";
    company.FN = "";
    EXPECT_EQ(withPrefix(vCardLines(company), "FN"), QStringList{"FN:Acme"});
    EXPECT_EQ(withPrefix(vCardLines(company), "ORG"), QStringList{"ORG:Acme"});
    QELContact named;
    named.FN = "Lee, Ann";
    named.organisation = "Acme";
    EXPECT_EQ(withPrefix(vCardLines(named), "FN"), QStringList{"FN:Lee\\, Ann"});
    // A card's FN is the name in the order people write it, not the list key.
    QELContact dana;
    dana.givenName = "Dana";
    dana.familyName = "Whitfield";
    dana.FN = "Whitfield, Dana";
    EXPECT_EQ(withPrefix(vCardLines(dana), "FN"), QStringList{"FN:Dana Whitfield"});
    dana.additionalName = " Jo ";
    EXPECT_EQ(withPrefix(vCardLines(dana), "FN"), QStringList{"FN:Dana Jo Whitfield"});
}

TEST(VCardText, TypesAreWrittenOnlyWhenAValueFollows)
{
    struct Case {
        const char* name;
        std::function<void(QELContact&)> fill;
        QString prefix;
        QStringList expected;
    };
    const std::vector<Case> cases = {
        {"cell voice work",
         [](QELContact& c) {
             auto t = std::make_shared<QELContactTelephone>();
             t->telephoneNumber = "+1 555 0100";
             t->isCell = 1;
             t->isVoice = 1;
             t->locationType = 2;
             t->isFax = 0;
             c.telephones.push_back(t);
         },
         "TEL",
         {"TEL;TYPE=cell,voice,WORK:+1 555 0100"}},
        {"number without flags",
         [](QELContact& c) {
             auto t = std::make_shared<QELContactTelephone>();
             t->telephoneNumber = "+1 555 0100";
             t->isFax = 0;
             c.telephones.push_back(t);
         },
         "TEL",
         {"TEL:+1 555 0100"}},
        {"every flag",
         [](QELContact& c) {
             auto t = std::make_shared<QELContactTelephone>();
             t->telephoneNumber = "1";
             t->isBBS = t->isCell = t->isFax = t->isISDN = t->isModem = t->isVideo = t->isVoice =
                 t->isvoiceMailCapable = t->isPager = t->isPCS = 1;
             t->locationType = 1;
             c.telephones.push_back(t);
         },
         "TEL",
         {"TEL;TYPE=bbs,cell,fax,isdn,modem,video,voice,msg,HOME:1"}},
        {"preferred home e-mail",
         [](QELContact& c) {
             auto e = std::make_shared<QELContactEMail>();
             e->emailAddress = "ann@example.com";
             e->locationType = 1;
             e->isPrefered = 1;
             c.emails.push_back(e);
         },
         "EMAIL",
         {"EMAIL;TYPE=HOME;TYPE=pref:ann@example.com"}},
        {"work e-mail",
         [](QELContact& c) {
             auto e = std::make_shared<QELContactEMail>();
             e->emailAddress = "ann@example.com";
             e->locationType = 2;
             c.emails.push_back(e);
         },
         "EMAIL",
         {"EMAIL;TYPE=WORK:ann@example.com"}},
        {"e-mail of another location",
         [](QELContact& c) {
             auto e = std::make_shared<QELContactEMail>();
             e->emailAddress = "ann@example.com";
             e->locationType = 7;
             c.emails.push_back(e);
         },
         "EMAIL",
         {"EMAIL:ann@example.com"}},
        {"home address",
         [](QELContact& c) {
             auto a = std::make_shared<QELContactAddress>();
             a->location = 1;
             a->streetAddress = "1 Main St";
             a->locality = "Springfield";
             a->extendedAddress = "Apt\r 4";
             a->countryCode = "us";
             c.addresses.push_back(a);
         },
         "ADR",
         {"ADR;TYPE=HOME:;Apt 4;1 Main St;Springfield;;;"}},
        {"address without type",
         [](QELContact& c) {
             auto a = std::make_shared<QELContactAddress>();
             a->postCode = "97477";
             a->deliveryTypeGeo = 0;
             c.addresses.push_back(a);
         },
         "ADR",
         {"ADR:;;;;;97477;"}},
        {"nicknames",
         [](QELContact& c) {
             for (const char* name : {"Bo", "Bobby", "B, the second"}) {
                 auto n = std::make_shared<QELContactNickName>();
                 n->nickName = QString::fromLatin1(name);
                 c.nickNames.push_back(n);
             }
             c.nickNames.push_back(std::make_shared<QELContactNickName>());
         },
         "NICKNAME",
         {"NICKNAME:Bo", "NICKNAME:Bobby", "NICKNAME:B\\, the second"}},
        {"texts without charset",
         [](QELContact& c) {
             c.title = "Chemist";
             c.role = "Lead";
             c.note = "a; b\nc";
             c.url = "https://x.example/?a=1,2";
         },
         "",
         {"TITLE:Chemist", "ROLE:Lead", "NOTE:a\\; b\\nc", "URL:https://x.example/?a=1\\,2"}},
        {"birthday",
         [](QELContact& c) { c.birthday = QDate(1984, 2, 29); },
         "BDAY",
         {"BDAY:1984-02-29"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QELContact contact;
        contact.FN = "Ann";
        c.fill(contact);
        QStringList lines = vCardLines(contact);
        if (c.prefix.isEmpty())
            lines = lines.mid(5, lines.size() - 6);
        else
            lines = withPrefix(lines, c.prefix + (c.prefix == "N" ? ":" : ""));
        EXPECT_EQ(lines, c.expected);
    }
}

TEST(VCardText, LongLinesAreFoldedBetweenCharacters)
{
    QELContact contact;
    contact.FN = "Ann";
    contact.note = QString(100, QChar(0x00E9)) + QString(40, QLatin1Char('x'));
    const QByteArray text = QELCopyContacts::_vCardFromContact(contact);
    for (const QByteArray& line : text.split('\n')) {
        EXPECT_LE(line.size(), 76) << line.constData();
        EXPECT_TRUE(QString::fromUtf8(line).toUtf8() == line) << "a UTF-8 sequence was cut";
    }
    EXPECT_EQ(withPrefix(unfoldedLines(text), "NOTE"), QStringList{"NOTE:" + *contact.note});
}

// Hostile names and values, as a device may hold them.
std::vector<QELContactPtr> hostileContacts()
{
    const std::vector<QString> names = {
        "../x",
        "a/b",
        "",
        ".",
        "A, B; C:",
        "line\nbreak",
        QString(300, QLatin1Char('n')),
        "Zoë Ørsted 李",
        "back\\slash",
    };
    std::vector<QELContactPtr> contacts;
    qint64 uid = 0;
    for (const QString& name : names) {
        auto c = std::make_shared<QELContact>();
        c->uid = ++uid;
        c->givenName = name;
        c->familyName = "Lee; \"x\", y\\z";
        c->additionalName = "M\nN";
        c->honorificPrefixes = "Dr.,";
        c->FN = name;
        c->searchReference = name;
        c->organisation = "Acme; Inc, \\ Co\nLtd";
        c->title = "Head: of, things;";
        c->note = "Line one\nLine two; three, four\\ five\n" + QString(120, QChar(0x00FC));
        c->url = "https://example.com/a,b;c";
        auto a = std::make_shared<QELContactAddress>();
        a->location = 2;
        a->streetAddress = "1 Main St, Apt 4; rear";
        a->locality = "Saint-Étienne";
        a->region = "Loire\\42";
        a->postCode = "42000";
        a->country = "France";
        c->addresses.push_back(a);
        auto t = std::make_shared<QELContactTelephone>();
        t->telephoneNumber = "+33 1,2;3";
        t->isCell = 1;
        c->telephones.push_back(t);
        auto e = std::make_shared<QELContactEMail>();
        e->emailAddress = "o'brien@example.com";
        e->locationType = 1;
        c->emails.push_back(e);
        contacts.push_back(c);
    }
    return contacts;
}

TEST(VCardExport, HostileNamesStayInTheFolderAndRepeatedNamesAreNumbered)
{
    const QString folder = TestEnvironment::home() + "/out";
    ASSERT_TRUE(QDir().mkpath(folder));
    QList<QELContactPtr> contacts;
    for (const QELContactPtr& c : hostileContacts())
        contacts.append(c);
    contacts.append(makeContact(20, "Ann", "Lee"));
    contacts.append(makeContact(21, "Ann", "Lee"));
    contacts.append(makeContact(22, "ann", "lee"));
    QELCopyContacts job;
    RecordingCopyDelegate delegate;
    runExport(job, delegate, folder, contacts);
    EXPECT_EQ(job.failedItemCount(), 0u);
    const QStringList files = filesIn(folder);
    EXPECT_EQ(files.size(), contacts.size());
    EXPECT_TRUE(files.contains("___x.vcf")) << files.join(" | ").toStdString();
    EXPECT_TRUE(files.contains("a_b.vcf"));
    EXPECT_TRUE(files.contains("Contact.vcf"));
    EXPECT_TRUE(files.contains("Contact 1.vcf"));
    EXPECT_TRUE(files.contains("A, B; C:.vcf"));
    EXPECT_TRUE(files.contains("line_break.vcf"));
    EXPECT_TRUE(files.contains("Lee, Ann.vcf"));
    EXPECT_TRUE(files.contains("Lee, Ann 1.vcf"));
    EXPECT_TRUE(files.contains("lee, ann 2.vcf"));
    for (const QString& file : files)
        EXPECT_LE(file.toUtf8().size(), 255);
    EXPECT_TRUE(QDir(TestEnvironment::home()).entryList({"*.vcf"}, QDir::Files).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(TestEnvironment::home() + "/x.vcf"));

    std::vector<RecordingCopyDelegate::Call> begins = delegate.begins();
    ASSERT_EQ(begins.size(), size_t(contacts.size()));
    for (size_t i = 0; i < begins.size(); ++i) {
        EXPECT_EQ(begins[i].itemNumber, i + 1);
        EXPECT_EQ(begins[i].itemCount, quint32(contacts.size()));
        EXPECT_EQ(begins[i].senderClass, std::type_index(typeid(QELCopyContacts)));
        EXPECT_TRUE(begins[i].onMainThread);
    }
    EXPECT_EQ(delegate.copyTypes(), std::vector<int>{0});
}

TEST(VCardExport, AFullParserReadsBackEveryValueUnchanged)
{
    const QString folder = TestEnvironment::home() + "/vobject";
    ASSERT_TRUE(QDir().mkpath(folder));
    const std::vector<QELContactPtr> contacts = hostileContacts();
    QStringList paths;
    for (size_t i = 0; i < contacts.size(); ++i) {
        const QString path = QStringLiteral("%1/%2.vcf").arg(folder).arg(i);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QELCopyContacts::_vCardFromContact(*contacts[i]));
        paths << path;
    }
    QString error;
    const QByteArray json = vobjectReading(paths, &error);
    ASSERT_FALSE(json.isEmpty()) << error.toStdString();
    const QJsonArray cards = QJsonDocument::fromJson(json).array();
    ASSERT_EQ(cards.size(), paths.size());
    auto first = [](const QJsonObject& props, const char* name) {
        return props.value(QLatin1String(name)).toArray().at(0).toObject().value("value");
    };
    auto strings = [](const QJsonValue& value) {
        QStringList list;
        for (const QJsonValue& v : value.toArray())
            list << v.toString();
        return list;
    };
    for (qsizetype i = 0; i < cards.size(); ++i) {
        const QELContact& c = *contacts[size_t(i)];
        SCOPED_TRACE(c.givenName->left(40).toStdString());
        const QJsonObject card = cards.at(i).toObject();
        ASSERT_FALSE(card.contains("error")) << card.value("error").toString().toStdString();
        const QJsonObject props = card.value("props").toObject();
        EXPECT_EQ(strings(first(props, "N")),
                  (QStringList{*c.familyName, *c.givenName, *c.additionalName, *c.honorificPrefixes,
                               ""}));
        // The name as people write it.
        QStringList parts;
        for (const QString& part : {*c.givenName, *c.additionalName, *c.familyName})
            if (!part.trimmed().isEmpty())
                parts << part.trimmed();
        QString fn = parts.join(' ');
        if (fn.isEmpty())
            fn = c.FN->trimmed();
        EXPECT_EQ(first(props, "FN").toString(), fn);
        EXPECT_EQ(strings(first(props, "ORG")), QStringList{*c.organisation});
        EXPECT_EQ(first(props, "TITLE").toString(), *c.title);
        EXPECT_EQ(first(props, "NOTE").toString(), *c.note);
        EXPECT_EQ(first(props, "URL").toString(), *c.url);
        EXPECT_EQ(first(props, "TEL").toString(), *c.telephones[0]->telephoneNumber);
        EXPECT_EQ(first(props, "EMAIL").toString(), *c.emails[0]->emailAddress);
        const QELContactAddress& a = *c.addresses[0];
        EXPECT_EQ(strings(first(props, "ADR")),
                  (QStringList{"", "", *a.streetAddress, *a.locality, *a.region, *a.postCode,
                               *a.country}));
        EXPECT_EQ(
            props.value("TEL").toArray().at(0).toObject().value("params").toObject().value("TYPE"),
            QJsonArray{"cell"});
        EXPECT_FALSE(props.contains("CHARSET"));
    }
}

TEST(VCardExport, AnEarlierRunsFileStaysAndTheNewOneIsNumbered)
{
    const QString folder = TestEnvironment::home() + "/again";
    ASSERT_TRUE(QDir().mkpath(folder));
    {
        QFile old(folder + "/Lee, Ann.vcf");
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(10000, 'x'));
    }
    QELCopyContacts job;
    RecordingCopyDelegate delegate;
    runExport(job, delegate, folder, {makeContact(1, "Ann", "Lee")});
    QStringList files = filesIn(folder);
    files.sort();
    EXPECT_EQ(files, (QStringList{"Lee, Ann 1.vcf", "Lee, Ann.vcf"}));
    const QByteArray text = readFile(folder + "/Lee, Ann 1.vcf");
    EXPECT_TRUE(text.startsWith("BEGIN:VCARD\r\n"));
    EXPECT_FALSE(text.contains("xxx"));
    EXPECT_EQ(readFile(folder + "/Lee, Ann.vcf"), QByteArray(10000, 'x'));
}

TEST(VCardExport, RunsWithoutWorkOrWithFailuresStillEnd)
{
    struct Case {
        const char* name;
        QString folder;
        QList<QELContactPtr> contacts;
        size_t begins;
        quint32 failed;
    };
    const QString home = TestEnvironment::home();
    const QString readOnly = home + "/readonly";
    ASSERT_TRUE(QDir().mkpath(readOnly));
    QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool canWriteAnyway = QFileInfo(readOnly).isWritable(); // root ignores modes
    const std::vector<Case> cases = {
        // A folder that cannot be used is told before the first item.
        {"no folder", QString(), {makeContact(1, "Ann", "Lee")}, 0, 1},
        {"empty queue", home, {}, 0, 0},
        {"missing folder", home + "/missing", {makeContact(1, "Ann", "Lee")}, 0, 1},
        {"null item", home, {QELContactPtr()}, 1, 1},
        {"unwritable folder",
         canWriteAnyway ? home + "/missing-too" : readOnly,
         {makeContact(1, "Ann", "Lee"), makeContact(2, "Bo", "Ray")},
         0,
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QELCopyContacts job;
        RecordingCopyDelegate delegate;
        runExport(job, delegate, c.folder, c.contacts);
        EXPECT_EQ(delegate.begins().size(), c.begins);
        EXPECT_EQ(delegate.allItemsCopied().size(), 1u);
        EXPECT_EQ(job.failedItemCount(), c.failed);
    }
}

TEST(VCardExport, ACancelledRunKeepsWhatItWroteAndStillEnds)
{
    const QString folder = TestEnvironment::home() + "/cancel";
    ASSERT_TRUE(QDir().mkpath(folder));
    QList<QELContactPtr> contacts;
    for (int i = 0; i < 2000; ++i)
        contacts.append(makeContact(i + 1, QStringLiteral("Person %1").arg(i), "Lee"));
    QVariantList items;
    for (const QELContactPtr& contact : contacts)
        items.append(QVariant::fromValue(contact));
    QELCopyContacts job;
    RecordingCopyDelegate delegate;
    job.setDelegate(&delegate);
    job.setBaseCopyPath(folder);
    job.setItemQueue(items);
    job.startCopy();
    job.cancelCopy();
    ASSERT_TRUE(delegate.waitForAllItemsCopied());
    const QStringList files = filesIn(folder);
    EXPECT_LT(files.size(), contacts.size());
    EXPECT_LE(size_t(files.size()), delegate.begins().size());
    EXPECT_EQ(delegate.allItemsCopied().size(), 1u);
    for (const QString& file : files)
        EXPECT_TRUE(readFile(folder + "/" + file).endsWith("END:VCARD\r\n"));
}

} // namespace
