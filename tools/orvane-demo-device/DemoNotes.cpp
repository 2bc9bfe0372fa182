// SPDX-License-Identifier: GPL-3.0-or-later
// Notes, read from a backup: the note store of a later system with two
// accounts and their folders, a note with a picture (stored sideways, with
// its orientation tag, as a camera stores it) and a table, a locked note,
// and the newest note still in the store's "-wal"; beside it the older
// notes.sqlite that keeps a mail account's note.
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <QTransform>

#include "DemoCategory.h"
#include "NoteStoreFixture.h"
#include "SimulatedDeviceBuilder.h"

namespace DemoDevice {

namespace {

using namespace NoteStoreFixture;

const QString kDomain = QStringLiteral("AppDomainGroup-group.com.apple.notes");
const QString kPictureAttachment = QStringLiteral("6C1A5A9E-2F4B-4D7A-9C55-0E1F7B3D2A10");
const QString kPictureMedia = QStringLiteral("B83F0D4C-91E2-4A6B-8F3D-5C7E2A19D604");
const QString kPictureFile = QStringLiteral("IMG_4821.jpeg");
const QString kTableAttachment = QStringLiteral("0D7E4B21-6A3C-4F95-B1E8-72C9A5F03D44");

// 2024-06-01 12:00 UTC in seconds since 2001.
constexpr double kJune = 738936000;
constexpr double kDay = 86400;

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A harbour at dusk, drawn upright, then stored turned as a phone held
// upright stores it: the viewer turns it back by its orientation tag.
QByteArray harbourPhoto()
{
    QImage upright(360, 480, QImage::Format_RGB32);
    QPainter painter(&upright);
    QLinearGradient sky(0, 0, 0, 300);
    sky.setColorAt(0, QColor(40, 70, 150));
    sky.setColorAt(1, QColor(250, 170, 90));
    painter.fillRect(0, 0, 360, 300, sky);
    painter.setBrush(QColor(255, 220, 120));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(250, 250), 45, 45);
    painter.fillRect(0, 300, 360, 180, QColor(30, 60, 100));
    painter.setBrush(QColor(240, 240, 235));
    painter.drawPolygon(
        QPolygonF({QPointF(120, 330), QPointF(200, 330), QPointF(185, 360), QPointF(135, 360)}));
    painter.fillRect(158, 250, 4, 80, QColor(240, 240, 235));
    painter.end();
    const QImage stored = upright.transformed(QTransform().rotate(-90));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    stored.save(&buffer, "jpeg", 90);
    return withExifOrientation(jpeg, 6);
}

Note note(qint64 key, const char* title, qint64 account, qint64 folder, double daysBefore,
          const QString& text, const QList<Attachment>& attachments = {})
{
    Note n;
    n.key = key;
    n.title = QString::fromUtf8(title);
    n.account = account;
    n.folders = {folder};
    n.created = kJune - (daysBefore + 30) * kDay;
    n.modified = kJune - daysBefore * kDay + 0.25;
    n.body = noteBody(text, attachments);
    return n;
}

bool describe(DemoContext& context, QString* error)
{
    Store store;
    store.layout = Layout::Later;
    store.accounts = {{1, QStringLiteral("iCloud")}, {2, QStringLiteral("On My iPhone")}};
    store.folders = {{20, QStringLiteral("Notes")},
                     {21, QStringLiteral("Travel")},
                     {22, QStringLiteral("Recipes")}};
    const QString picture(QChar(0xFFFC));
    Note locked = note(104, "Bank details", 1, 20, 9, QStringLiteral("locked"));
    locked.passwordProtected = 1;
    store.notes = {
        note(100, "Lisbon trip", 1, 21, 1,
             QStringLiteral("Lisbon trip\nThe harbour on our last evening:\n") + picture
                 + QStringLiteral("\nTram 28 from Martim Moniz, early, before the crowds.\n")
                 + picture,
             {{kPictureAttachment, QStringLiteral("public.jpeg")},
              {kTableAttachment, QStringLiteral("com.apple.notes.table")}}),
        note(101, "Packing list", 1, 21, 3,
             QStringLiteral("Packing list\nPassport\nAdapter (type F)\nSunscreen & hat")),
        note(102, "Groceries", 1, 20, 0,
             QStringLiteral("Groceries\nOat milk\nLemons\nBread <wholemeal>")),
        note(103, "Gift ideas", 1, 20, 12,
             QStringLiteral("Gift ideas\nMum: a pottery class\nSam: the new hiking boots")),
        locked,
        note(105, "Pancakes", 2, 22, 20,
             QStringLiteral("Pancakes\n200 g flour, 2 eggs, 300 ml milk\nRest the batter 30 min")),
    };
    AttachmentRow costs;
    costs.key = 302;
    costs.identifier = kTableAttachment;
    costs.typeIdentifier = QStringLiteral("com.apple.notes.table");
    costs.typeInNewerColumn = true;
    costs.mergeableData = tableMergeableData(
        {{QStringLiteral("Day"), QStringLiteral("What"), QStringLiteral("€")},
         {QStringLiteral("Fri"), QStringLiteral("Tram & castle"), QStringLiteral("18.50")},
         {QStringLiteral("Sat"), QStringLiteral("Pastéis de nata <6>"), QStringLiteral("9.00")}});
    store.attachments = {{300, kPictureAttachment, QStringLiteral("public.jpeg"), 301, 0, 480, 360},
                         costs};
    store.media = {{301, kPictureMedia, kPictureFile}};
    // The pancake recipe was written last and is not checkpointed yet.
    store.notesInWal = 1;

    LegacyDatabase older;
    older.accounts = {{1, QStringLiteral("On My iPhone")}, {3, QStringLiteral("Gmail")}};
    older.notes = {{1, 1, 1, QStringLiteral("Flight confirmation"),
                    QStringLiteral("<div>Flight confirmation</div><div>TP 1331, seat 14A</div>"
                                   "<div>Check in opens 36 hours before</div>"),
                    kJune - 40 * kDay, kJune - 6 * kDay, 3}};

    QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("NoteStore.sqlite"));
    const QString olderPath = scratch.filePath(QStringLiteral("notes.sqlite"));
    if (!writeNoteStore(path, store, error) || !writeNotesSqlite(olderPath, older, error))
        return false;
    context.device()
        .backupFile(QStringLiteral("HomeDomain"), QStringLiteral("Library/Notes/notes.sqlite"),
                    readAll(olderPath))
        .backupFile(kDomain, QStringLiteral("NoteStore.sqlite"), readAll(path))
        .backupFile(kDomain, QStringLiteral("NoteStore.sqlite-wal"),
                    readAll(path + QStringLiteral("-wal")))
        .backupFile(kDomain,
                    QStringLiteral("Accounts/LocalAccount/Media/%1/1_%2/%3")
                        .arg(kPictureMedia, kPictureAttachment, kPictureFile),
                    harbourPhoto());
    return true;
}

[[maybe_unused]] const bool registered =
    DemoCategories::add({QStringLiteral("notes"), describe, {}});

} // namespace

} // namespace DemoDevice
