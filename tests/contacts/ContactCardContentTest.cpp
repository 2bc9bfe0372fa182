// SPDX-License-Identifier: GPL-3.0-or-later
// What both contact exports put into a card beyond the names and numbers:
// the birthday, the nicknames, the picture and the name in display order,
// read back by vobject; and the transfer that updates a card instead of
// adding it again.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "ContactsTestSupport.h"
#include "FolderAddressBookHost.h"
#include "QELCopyContacts.h"
#include "QELTransferContacts.h"
#include "QtPrinters.h"
#include "RecordingCopyDelegate.h"
#include "TestEnvironment.h"

namespace {

struct PictureCase {
    const char* name;
    QByteArray bytes;
    const char* type; // what PHOTO says; empty: no PHOTO
    bool sameBytes;   // written as the device keeps it
};

std::vector<PictureCase> pictureCases()
{
    return {
        {"jpeg", pictureBytes("JPG"), "JPEG", true},
        {"png", pictureBytes("PNG"), "PNG", true},
        {"tiff becomes jpeg", pictureBytes("TIFF"), "JPEG", false},
        {"bytes that are no image", QByteArray("\x00\x01garbage", 9), "", false},
        {"truncated png", pictureBytes("PNG").left(12), "PNG", true},
        {"none", QByteArray(), "", false},
    };
}

QJsonArray cardsOf(const QStringList& paths)
{
    QString error;
    const QByteArray json = vobjectReading(paths, &error);
    EXPECT_FALSE(json.isEmpty()) << error.toStdString();
    return QJsonDocument::fromJson(json).array();
}

QJsonObject only(const QJsonObject& props, const char* name)
{
    const QJsonArray values = props.value(QLatin1String(name)).toArray();
    EXPECT_EQ(values.size(), 1) << name;
    return values.at(0).toObject();
}

void expectCardContent(const QJsonObject& card, const PictureCase& c)
{
    SCOPED_TRACE(c.name);
    ASSERT_FALSE(card.contains("error")) << card.value("error").toString().toStdString();
    const QJsonObject props = card.value("props").toObject();
    EXPECT_EQ(only(props, "FN").value("value").toString(), QStringLiteral("Dana Whitfield"));
    EXPECT_EQ(only(props, "BDAY").value("value").toString(), QStringLiteral("1984-02-29"));
    QStringList nickNames;
    for (const QJsonValue& n : props.value("NICKNAME").toArray())
        nickNames << n.toObject().value("value").toString();
    EXPECT_EQ(nickNames, (QStringList{"Dee", "D, the second"}));
    if (!*c.type) {
        EXPECT_FALSE(props.contains("PHOTO"));
        return;
    }
    const QJsonObject photo = only(props, "PHOTO");
    EXPECT_EQ(photo.value("params").toObject().value("TYPE"), QJsonArray{c.type});
    const QByteArray bytes = QByteArray::fromBase64(photo.value("value").toString().toLatin1());
    if (c.sameBytes) {
        EXPECT_EQ(bytes, c.bytes);
    } else {
        EXPECT_TRUE(bytes.startsWith("\xFF\xD8\xFF"));
        EXPECT_EQ(QImage::fromData(bytes).size(), QSize(8, 8));
    }
}

void runTransfer(QELTransferContacts& job, RecordingCopyDelegate& delegate,
                 const QList<QELContactPtr>& contacts, size_t run)
{
    QVariantList items;
    for (const QELContactPtr& c : contacts)
        items << QVariant::fromValue(c);
    job.setDelegate(&delegate);
    job.setItemQueue(items);
    job.startCopy();
    ASSERT_TRUE(delegate.waitForAllItemsCopied(run));
}

QStringList cardsIn(const QString& folder)
{
    QStringList paths;
    for (const QString& name : QDir(folder).entryList({"*.vcf"}, QDir::Files, QDir::Name))
        paths << folder + "/" + name;
    return paths;
}

TEST(ContactCards, TheExportWritesBirthdayNicknamesAndPicture)
{
    const QString folder = TestEnvironment::home() + "/cards";
    ASSERT_TRUE(QDir().mkpath(folder));
    const std::vector<PictureCase> cases = pictureCases();
    QStringList paths;
    for (size_t i = 0; i < cases.size(); ++i) {
        const QString path = QStringLiteral("%1/%2.vcf").arg(folder).arg(i);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            QELCopyContacts::_vCardFromContact(*contactWithPicture(qint64(i) + 1, cases[i].bytes)));
        paths << path;
    }
    const QJsonArray cards = cardsOf(paths);
    ASSERT_EQ(cards.size(), qsizetype(cases.size()));
    for (size_t i = 0; i < cases.size(); ++i)
        expectCardContent(cards.at(qsizetype(i)).toObject(), cases[i]);
}

TEST(ContactCards, TheTransferWritesBirthdayNicknamesAndPicture)
{
    const std::vector<PictureCase> cases = pictureCases();
    for (size_t i = 0; i < cases.size(); ++i) {
        const QString folder = TestEnvironment::home() + QStringLiteral("/book-%1").arg(i);
        QELTransferContacts job;
        job.setAddressBookHost(std::make_shared<FolderAddressBookHost>(folder));
        RecordingCopyDelegate delegate;
        runTransfer(job, delegate, {contactWithPicture(1, cases[i].bytes)}, 1);
        const QJsonArray cards = cardsOf(cardsIn(folder));
        ASSERT_EQ(cards.size(), 1);
        expectCardContent(cards.at(0).toObject(), cases[i]);
        EXPECT_EQ(job.destination(), folder);
    }
}

TEST(ContactCards, ATransferAgainUpdatesEachCardInsteadOfAddingIt)
{
    const QString folder = TestEnvironment::home() + "/again";
    QELTransferContacts job;
    job.setAddressBookHost(std::make_shared<FolderAddressBookHost>(folder));
    RecordingCopyDelegate delegate;
    const QELContactPtr ann = makeContact(1, "Ann", "Lee");
    const QELContactPtr bo = makeContact(2, "Bo", "Ray");
    runTransfer(job, delegate, {ann, bo}, 1);
    ASSERT_EQ(cardsIn(folder).size(), 2);

    // Another program renamed one card; the device changed a note.
    const QStringList first = cardsIn(folder);
    ASSERT_TRUE(QFile::rename(first[0], folder + "/renamed-by-another-program.vcf"));
    ann->note = "changed on the phone";
    bo->note = "changed on the phone";
    // A person of another device whose row number is the same is someone else.
    const QELContactPtr stranger = makeContact(1, "Cy", "Ode");
    runTransfer(job, delegate, {ann, bo, stranger}, 2);
    EXPECT_EQ(job.failedItemCount(), 0u);
    const QStringList paths = cardsIn(folder);
    EXPECT_EQ(paths.size(), 3) << paths.join(" ").toStdString();
    EXPECT_TRUE(paths.contains(folder + "/renamed-by-another-program.vcf"));
    const QJsonArray cards = cardsOf(paths);
    QStringList uids;
    int changed = 0;
    for (const QJsonValue& card : cards) {
        const QJsonObject props = card.toObject().value("props").toObject();
        uids << only(props, "UID").value("value").toString();
        if (props.value("NOTE").toArray().at(0).toObject().value("value").toString()
            == QLatin1String("changed on the phone"))
            ++changed;
    }
    EXPECT_EQ(changed, 2);
    EXPECT_EQ(uids.removeDuplicates(), 0);
    EXPECT_EQ(QELTransferContacts::stableUid(*ann), QELTransferContacts::stableUid(*ann));
    EXPECT_NE(QELTransferContacts::stableUid(*ann), QELTransferContacts::stableUid(*stranger));
}

} // namespace
