// SPDX-License-Identifier: GPL-3.0-or-later
// Books, read from the device itself: the books app with a few unpacked
// ePubs with covers, a PDF kept as a file (it shows the default cover), a PDF
// kept as a folder, and two purchases, one of which the device holds no file of.
#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include "BooksFixture.h"
#include "DemoCategory.h"
#include "Plist.h"
#include "SimulatedDeviceBuilder.h"

namespace DemoDevice {

namespace {

using BooksFixture::Entry;

struct DemoBook {
    const char* name;
    const char* author;
    const char* id;
    // Below "/Books" (or "/Books/Purchases" for a purchase); empty: no file.
    const char* path;
    // "epub": an unpacked ePub folder; "pdf": a PDF file; "": a PDF kept as a folder.
    const char* kind;
    QRgb colour; // 0: no cover of its own
    bool purchase;
};

const DemoBook kBooks[] = {
    {"The Lighthouse Keeper", "Mara Quill", "4F1A9C22D0E3B701", "4F1A9C22D0E3B701.epub", "epub",
     0xff1f4e79, false},
    {"A Field Guide to Clouds", "Idris Vale", "7C03E5A1B9F24410", "7C03E5A1B9F24410.epub", "epub",
     0xff5b9bd5, false},
    {"Night Trains of Europe", "Lena Ostrova", "2B7D6E90C1A35F08", "2B7D6E90C1A35F08.epub", "epub",
     0xff7030a0, false},
    {"Household Manual", "Orvane Homes", "9E42B1C07D6A3E55", "Household Manual.pdf", "pdf", 0,
     false},
    {"Kitchen Atlas", "Tomas Ferreira", "3A8F2D61E0B94C17", "3A8F2D61E0B94C17", "", 0xffc55a11,
     false},
    {"Garden Notes", "Ada Bramble", "6D15C0F3A82E7B90", "6D15C0F3A82E7B90.epub", "epub", 0xff548235,
     false},
    {"Small Stories", "Pia Lund", "", "1130457789.epub", "epub", 0xffbf8f00, true},
    {"Winter Poems", "Henrik Aas", "", "", "epub", 0, true},
};

// A cover of its own for each book: a coloured binding with a pattern (the
// tool has no fonts to draw titles with).
QByteArray coverFor(const DemoBook& book, int index)
{
    QImage image(300, 400, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colour = QColor::fromRgb(book.colour);
    QLinearGradient fill(0, 0, 300, 400);
    fill.setColorAt(0, colour.lighter(135));
    fill.setColorAt(1, colour.darker(120));
    painter.fillRect(image.rect(), fill);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 200));
    switch (index % 4) {
    case 0: // a lighthouse beam
        painter.drawPolygon(QPolygonF({QPointF(150, 120), QPointF(300, 60), QPointF(300, 180)}));
        painter.drawRect(QRectF(135, 120, 30, 200));
        break;
    case 1: // clouds
        for (const QRectF& puff :
             {QRectF(40, 140, 120, 70), QRectF(110, 110, 130, 90), QRectF(170, 150, 100, 60)})
            painter.drawEllipse(puff);
        break;
    case 2: // rails
        for (int y = 220; y < 400; y += 30)
            painter.drawRect(QRectF(40, y, 220, 8));
        break;
    default: // leaves
        for (int i = 0; i < 5; ++i)
            painter.drawEllipse(QRectF(50 + i * 40, 130 + (i % 2) * 50, 36, 70));
        break;
    }
    painter.setBrush(QColor(0, 0, 0, 70));
    painter.drawRect(QRectF(30, 30, 240, 40));
    painter.end();
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return jpeg;
}

bool describe(DemoContext& context, QString*)
{
    SimulatedDeviceBuilder& device = context.device();
    BooksFixture::addBooksApp(device);
    QList<Entry> main;
    QList<Entry> purchases;
    int index = 0;
    for (const DemoBook& book : kBooks) {
        const QString name = QString::fromUtf8(book.name);
        const QString path = QString::fromUtf8(book.path);
        const QString kind = QString::fromLatin1(book.kind);
        const QString folder =
            (book.purchase ? QStringLiteral("Books/Purchases/") : QStringLiteral("Books/")) + path;
        if (!path.isEmpty()) {
            if (kind == QLatin1String("epub")) {
                for (const auto& [file, bytes] : BooksFixture::epubFolder(name))
                    device.afcFile(folder + QLatin1Char('/') + file, bytes);
            } else if (kind == QLatin1String("pdf")) {
                device.afcFile(folder, BooksFixture::pdf(name));
            } else {
                device.afcFile(folder + QStringLiteral("/Part 1.pdf"), BooksFixture::pdf(name));
                device.afcFile(folder + QStringLiteral("/Part 2.pdf"), BooksFixture::pdf(name));
            }
            if (book.colour != 0)
                device.afcFile(folder + QStringLiteral("/iTunesArtwork"), coverFor(book, index));
        }
        Entry entry;
        entry.name = name;
        entry.artist = QString::fromUtf8(book.author);
        if (!path.isEmpty())
            entry.path = path;
        if (!kind.isEmpty())
            entry.kind = kind;
        if (book.purchase)
            entry.dsid = QVariant(qint64(1130457789 + index));
        else
            entry.persistentID = QString::fromLatin1(book.id);
        (book.purchase ? purchases : main).append(entry);
        ++index;
    }
    device.afcFile(QStringLiteral("Books/Books.plist"),
                   BooksFixture::mainList(main, Plist::Format::Binary));
    device.afcFile(QStringLiteral("Books/Purchases/Purchases.plist"),
                   BooksFixture::purchasesList(purchases, Plist::Format::Xml));
    return true;
}

[[maybe_unused]] const bool registered =
    DemoCategories::add({QStringLiteral("books"), describe, {}});

} // namespace

} // namespace DemoDevice
