// SPDX-License-Identifier: GPL-3.0-or-later
// Messages, read from a backup: an sms.db as a recent system writes it
// (nanosecond dates, texts only in their archived form, the newest message
// still in the "-wal"), with the people of the call log's address book, a
// group chat, a picture, a video and a document in MediaDomain; and a few
// WhatsApp chats of the installed app, one with a picture.
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPolygonF>
#include <QTemporaryDir>

#include "DemoCategory.h"
#include "SimulatedDeviceBuilder.h"
#include "SmsDbBuilder.h"
#include "WhatsAppDbBuilder.h"

namespace DemoDevice {

namespace {

// 2024-05-20 09:00 UTC in seconds since 2001, the day of the newest message.
constexpr qint64 kLastDay = 737888400;
constexpr qint64 kNanoseconds = 1000000000;

struct DemoLine {
    int conversation; // index into the chats made below
    int sender;       // index into the handles, -1: sent from the device
    qint64 minutesBefore;
    const char* text;
    const char* attachment; // file name, or null
};

const char* const kHandles[] = {"+15550100123", "bob.tanaka@example.org", "+13125550187",
                                "+15550142424"};

const DemoLine kLines[] = {
    {0, 0, 3000, "Are we still on for Saturday?", nullptr},
    {0, -1, 2990, "Yes! 10 o'clock at the market", nullptr},
    {0, 0, 2980, "Perfect \xF0\x9F\x98\x8A", nullptr},
    {1, 1, 1500, "Slides for Monday attached", "Quarterly review.pdf"},
    {1, -1, 1440, "Thanks, looks great", nullptr},
    {2, 2, 900, "Dinner at ours on Friday?", nullptr},
    {2, 0, 890, "Count me in", nullptr},
    {2, -1, 880, "Bringing dessert", nullptr},
    {2, 2, 870, "The view from the terrace", "IMG_2077.MOV"},
    {0, 0, 60, "Look what I found", "IMG_2041.JPG"},
    {3, 3, 30, "Your parcel is waiting at the depot, code 4471", nullptr},
    {0, -1, 5, "Beautiful! See you soon", nullptr},
};

const QString kAttachments = QStringLiteral("Library/SMS/Attachments/4f/");
const QString kWhatsAppPicture =
    QStringLiteral("Media/15550100123@s.whatsapp.net/8/1/IMG-20240520-WA0001.jpg");

QString mimeTypeOf(const QString& name)
{
    if (name.endsWith(QLatin1String(".pdf")))
        return QStringLiteral("application/pdf");
    if (name.endsWith(QLatin1String(".MOV")))
        return QStringLiteral("video/quicktime");
    return QStringLiteral("image/jpeg");
}

// A picture of a sunset over hills, as a JPEG file.
QByteArray pictureBytes(QRgb sky, QRgb ground)
{
    QImage image(480, 360, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient air(0, 0, 0, 360);
    air.setColorAt(0, QColor::fromRgb(sky));
    air.setColorAt(1, QColor::fromRgb(sky).lighter(160));
    painter.fillRect(image.rect(), air);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 214, 120));
    painter.drawEllipse(QPointF(330, 170), 48, 48);
    painter.setBrush(QColor::fromRgb(ground));
    QPolygonF hills;
    hills << QPointF(0, 360) << QPointF(0, 250) << QPointF(120, 200) << QPointF(240, 260)
          << QPointF(360, 215) << QPointF(480, 250) << QPointF(480, 360);
    painter.drawPolygon(hills);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "jpeg").write(image);
    return bytes;
}

// The head of a QuickTime file: enough for the page to offer it as a video.
QByteArray movieBytes()
{
    QByteArray ftyp("\0\0\0\x14"
                    "ftypqt  \0\0\0\0qt  ",
                    20);
    QByteArray mdat("\0\0\0\x08"
                    "mdat",
                    8);
    return ftyp + mdat;
}

// A one-page PDF saying what it is.
QByteArray documentBytes()
{
    return QByteArrayLiteral("%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n"
                             "2 0 obj<</Type/Pages/Kids[3 0 R]/Count 1>>endobj\n"
                             "3 0 obj<</Type/Page/Parent 2 0 R/MediaBox[0 0 300 144]>>endobj\n"
                             "trailer<</Root 1 0 R>>\n%%EOF\n");
}

QByteArray whatsAppIcon()
{
    QImage image(114, 114, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(37, 211, 102));
    painter.drawRoundedRect(QRectF(2, 2, 110, 110), 24, 24);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(27, 27, 60, 60));
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeSmsDb(const QString& path, QString* error)
{
    SmsDbBuilder db;
    QList<qint64> handles;
    for (const char* handle : kHandles)
        handles << db.handle(QString::fromLatin1(handle),
                             QString::fromLatin1(handle).contains('@') ? "iMessage" : "SMS");
    const QList<qint64> chats = {db.chat({handles[0]}), db.chat({handles[1]}),
                                 db.chat({handles[0], handles[2]}), db.chat({handles[3]})};
    for (const DemoLine& line : kLines) {
        SmsDbBuilder::ChatMessage message;
        message.chat = chats[line.conversation];
        message.handle = line.sender >= 0 ? handles[line.sender]
                                          : handles[line.conversation == 2 ? 0 : line.conversation];
        message.fromMe = line.sender < 0;
        message.service =
            line.conversation == 1 ? QStringLiteral("iMessage") : QStringLiteral("SMS");
        // Later systems keep the text only in its archived form.
        message.attributedBody = SmsDbBuilder::attributedBody(QString::fromUtf8(line.text));
        message.date = (kLastDay - line.minutesBefore * 60) * kNanoseconds;
        if (line.attachment)
            message.attachments = {
                {QStringLiteral("~/") + kAttachments + QString::fromLatin1(line.attachment),
                 mimeTypeOf(QString::fromLatin1(line.attachment))}};
        db.chatMessage(message);
    }
    db.setChatMessagesInWal(1);
    return db.write(path, error);
}

bool writeChatStorage(const QString& path, QString* error)
{
    WhatsAppDbBuilder db;
    const double day = double(kLastDay);
    const qint64 alice = db.chat(QStringLiteral("Alice Moreau"));
    db.message({alice,
                false,
                day - 7200,
                WhatsAppDbBuilder::Text,
                "15550100123@s.whatsapp.net",
                "Morning run tomorrow?",
                {}});
    db.message(
        {alice, true, day - 7100, WhatsAppDbBuilder::Text, {}, "Only if it's not raining", {}});
    db.message({alice,
                false,
                day - 7000,
                WhatsAppDbBuilder::Image,
                "15550100123@s.whatsapp.net",
                {},
                QVariant(QString())});
    db.message({alice, false, day - 6900, WhatsAppDbBuilder::Image, "15550100123@s.whatsapp.net",
                "The trail head", kWhatsAppPicture});
    const qint64 club = db.chat(QStringLiteral("Climbing club"), 0, 1);
    db.groupMember(club, QStringLiteral("Alice Moreau"), "15550100123@s.whatsapp.net");
    db.groupMember(club, QStringLiteral("Chidi Okafor"), "13125550187@s.whatsapp.net");
    db.message({club,
                false,
                day - 3600,
                WhatsAppDbBuilder::Text,
                "13125550187@s.whatsapp.net",
                "Wall is booked for Thursday 7 pm",
                {}});
    db.message({club, true, day - 3500, WhatsAppDbBuilder::Text, {}, "I'll be there", {}});
    return db.writeChatStorage(path, error);
}

bool describe(DemoContext& context, QString* error)
{
    QTemporaryDir scratch;
    const QString sms = scratch.filePath(QStringLiteral("sms.db"));
    const QString chats = scratch.filePath(QStringLiteral("ChatStorage.sqlite"));
    if (!writeSmsDb(sms, error) || !writeChatStorage(chats, error))
        return false;
    context.device()
        .backupFile(QStringLiteral("HomeDomain"), QStringLiteral("Library/SMS/sms.db"),
                    readAll(sms))
        .backupFile(QStringLiteral("HomeDomain"), QStringLiteral("Library/SMS/sms.db-wal"),
                    readAll(sms + QStringLiteral("-wal")))
        .backupFile(QStringLiteral("AppDomain-net.whatsapp.WhatsApp"),
                    QStringLiteral("Documents/ChatStorage.sqlite"), readAll(chats))
        .backupFile(QStringLiteral("AppDomain-net.whatsapp.WhatsApp"),
                    QStringLiteral("Library/") + kWhatsAppPicture,
                    pictureBytes(0xff4a90c2, 0xff2e6b3a))
        .backupFile(QStringLiteral("MediaDomain"), kAttachments + QStringLiteral("IMG_2041.JPG"),
                    pictureBytes(0xffe0784a, 0xff5a3d6b))
        .backupFile(QStringLiteral("MediaDomain"), kAttachments + QStringLiteral("IMG_2077.MOV"),
                    movieBytes())
        .backupFile(QStringLiteral("MediaDomain"),
                    kAttachments + QStringLiteral("Quarterly review.pdf"), documentBytes());
    // The app is installed, so the messages view looks in its own domain.
    const QString whatsApp = QStringLiteral("net.whatsapp.WhatsApp");
    context.device()
        .app(whatsApp,
             {{QStringLiteral("CFBundleDisplayName"), QStringLiteral("WhatsApp")},
              {QStringLiteral("CFBundleShortVersionString"), QStringLiteral("24.9")},
              {QStringLiteral("ApplicationType"), QStringLiteral("User")}})
        .appIcon(whatsApp, whatsAppIcon());
    return true;
}

[[maybe_unused]] const bool registered =
    DemoCategories::add({QStringLiteral("messages"), describe, {}});

} // namespace

} // namespace DemoDevice
