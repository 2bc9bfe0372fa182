// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect contacts (FOLDER | --backup UDID) [--export DIR]`: the
// people of AddressBook.sqlitedb (with the pictures of
// AddressBookImages.sqlitedb) as the contacts store holds them after the
// duplicates were merged; --export writes the vCard files the export job
// writes.
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include "BackupFileSource.h"
#include "InspectJson.h"
#include "InspectJsonStream.h"
#include "InspectSubcommand.h"
#include "QELContactsDbReader.h"
#include "QELCopyContacts.h"
#include "QELCopyDelegate.h"

namespace {

using InspectJson::id;

constexpr int kAddressBookType = 0;
constexpr int kAddressBookImagesType = 8;

QJsonValue text(const std::optional<QString>& value)
{
    return value ? InspectJson::text(*value) : QJsonValue(QJsonValue::Null);
}

QJsonObject labelled(const std::optional<QString>& label, const std::optional<QString>& value)
{
    QJsonObject entry;
    entry.insert(QStringLiteral("label"), text(label));
    entry.insert(QStringLiteral("value"), text(value));
    return entry;
}

QJsonObject contactJson(const QELContact& contact)
{
    QJsonObject c;
    c.insert(QStringLiteral("id"), id(contact.uid));
    c.insert(QStringLiteral("firstName"), text(contact.givenName));
    c.insert(QStringLiteral("middleName"), text(contact.additionalName));
    c.insert(QStringLiteral("lastName"), text(contact.familyName));
    c.insert(QStringLiteral("organization"), text(contact.organisation));
    c.insert(QStringLiteral("jobTitle"), text(contact.title));
    QStringList nickNames;
    for (const QELContactNickNamePtr& nickName : contact.nickNames) {
        if (nickName->nickName && !nickName->nickName->isEmpty())
            nickNames.append(*nickName->nickName);
    }
    c.insert(QStringLiteral("nickname"),
             nickNames.isEmpty() ? QJsonValue(QJsonValue::Null)
                                 : QJsonValue(nickNames.join(QStringLiteral(", "))));
    c.insert(QStringLiteral("birthday"),
             contact.birthday && contact.birthday->isValid()
                 ? QJsonValue(contact.birthday->toString(Qt::ISODate))
                 : QJsonValue(QJsonValue::Null));
    c.insert(QStringLiteral("note"), text(contact.note));
    QJsonArray phones;
    for (const QELContactTelephonePtr& phone : contact.telephones)
        phones.append(labelled(phone->deviceLabel, phone->telephoneNumber));
    c.insert(QStringLiteral("phones"), phones);
    QJsonArray emails;
    for (const QELContactEMailPtr& email : contact.emails)
        emails.append(labelled(email->deviceLabel, email->emailAddress));
    c.insert(QStringLiteral("emails"), emails);
    QJsonArray urls;
    if (contact.url)
        urls.append(labelled(contact.urlLabel, contact.url));
    c.insert(QStringLiteral("urls"), urls);
    QJsonArray addresses;
    for (const QELContactAddressPtr& address : contact.addresses) {
        QJsonObject a;
        a.insert(QStringLiteral("label"), text(address->deviceLabel));
        a.insert(QStringLiteral("street"), text(address->streetAddress));
        a.insert(QStringLiteral("city"), text(address->locality));
        a.insert(QStringLiteral("state"), text(address->region));
        a.insert(QStringLiteral("postalCode"), text(address->postCode));
        a.insert(QStringLiteral("country"), text(address->country));
        addresses.append(a);
    }
    c.insert(QStringLiteral("addresses"), addresses);
    c.insert(QStringLiteral("imageBytes"),
             contact.picture.isEmpty() ? QJsonValue(QJsonValue::Null)
                                       : QJsonValue(qint64(contact.picture.size())));
    return c;
}

// Ends the event loop when the job reports the end of its run.
class ExportWaiter : public QELCopyDelegate {
public:
    explicit ExportWaiter(QEventLoop& loop)
        : m_loop(loop)
    {
    }
    void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs&) override {}
    void OnItemCopyEndEvent(const QELCopyItemEndEventArgs&) override {}
    void OnAllItemsCopiedEventWithType(int) override { m_loop.quit(); }

private:
    QEventLoop& m_loop;
};

// Writes the files; false when any could not be written.
bool exportContacts(const QList<QELContactPtr>& contacts, const QString& folder)
{
    QVariantList items;
    for (const QELContactPtr& contact : contacts)
        items.append(QVariant::fromValue(contact));
    QEventLoop loop;
    ExportWaiter waiter(loop);
    QELCopyContacts job;
    job.setDelegate(&waiter);
    job.setBaseCopyPath(QDir(folder).absolutePath());
    job.setItemQueue(items);
    job.startCopy();
    loop.exec();
    return job.failedItemCount() == 0;
}

int inspectContacts(const InspectRequest& request)
{
    const QString path = request.source.GetPathToDataOfType(kAddressBookType);
    if (path.isEmpty())
        return InspectSubcommands::fail(
            QStringLiteral("no AddressBook.sqlitedb in %1").arg(request.input));
    const QString pictures = request.source.GetPathToDataOfType(kAddressBookImagesType);
    std::unique_ptr<QELContactsDbReader> reader =
        QELContactsDbReader::initWithContactsDbPathAndPicturesDb(path, pictures);
    if (!reader)
        return InspectSubcommands::fail(QStringLiteral("no contacts store could be made"),
                                        InspectSubcommands::kWriteFailed);
    reader->loadContacts();
    const QList<QELContactPtr> contacts = reader->getContacts();
    QFile::remove(path);
    if (!pictures.isEmpty())
        QFile::remove(pictures);
    // Damage is reported as the messages report theirs: the file, then why.
    if (reader->lastError().startsWith(QLatin1String("this database is damaged")))
        return InspectSubcommands::fail(QStringLiteral("AddressBook.sqlitedb: ")
                                        + reader->lastError());
    if (contacts.isEmpty() && !reader->lastError().isEmpty())
        return InspectSubcommands::fail(
            QStringLiteral("the AddressBook.sqlitedb of %1 cannot be read: %2")
                .arg(request.input, reader->lastError()));
    if (!request.exportFolder.isNull()) {
        if (!QDir().mkpath(request.exportFolder))
            return InspectSubcommands::fail(
                QStringLiteral("cannot make the folder %1").arg(request.exportFolder),
                InspectSubcommands::kWriteFailed);
        if (!exportContacts(contacts, request.exportFolder))
            return InspectSubcommands::fail(
                QStringLiteral("some vCard files could not be written into %1")
                    .arg(request.exportFolder),
                InspectSubcommands::kWriteFailed);
    }
    InspectJsonStream out;
    out.beginObject();
    out.beginArray(QStringLiteral("contacts"));
    for (const QELContactPtr& contact : contacts)
        out.value(contactJson(*contact));
    out.end();
    out.member(QStringLiteral("merged"), reader->mergedCount());
    const int printed = out.finish();
    // The people were read, their pictures not: say which file is at fault.
    if (printed == InspectSubcommands::kSucceeded && !reader->picturesError().isEmpty())
        return InspectSubcommands::fail(QStringLiteral("%1 (%2): the contacts have no pictures")
                                            .arg(reader->picturesError(), request.input));
    return printed;
}

[[maybe_unused]] const bool registered = InspectSubcommands::add({
    QStringLiteral("contacts"),
    QStringLiteral("the people of the address book with duplicates merged "
                   "(AddressBook.sqlitedb, AddressBookImages.sqlitedb); --export DIR writes "
                   "the vCard files"),
    InspectSubcommand::Input::FolderOrBackup,
    true,
    QString(),
    {},
    inspectContacts,
});

} // namespace
