// SPDX-License-Identifier: GPL-3.0-or-later
// Contact pictures, read from a backup: a few of the demo address book's
// people have a photo (drawn here: soft colour fields with a head and
// shoulders). The address book itself is written by the call log's builder
// from the shared demo book, so both categories name the same people.
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "AddressBookFixture.h"
#include "DemoCategory.h"
#include "SimulatedDeviceBuilder.h"

namespace DemoDevice {

namespace {

struct DemoPicture {
    qint64 person; // ABPerson ROWID in the demo book
    QRgb background;
    QRgb figure;
    int width;
    int height;
};

// Alice Moreau, Dana Whitfield, Hiro Nakamura, Priya Raman, Victor Chen.
const DemoPicture kPictures[] = {
    {1, 0xFF8FB8DE, 0xFF3D5A80, 240, 240},  {5, 0xFFF2C57C, 0xFF7D4E24, 320, 240},
    {9, 0xFFA3D9A5, 0xFF2E6B30, 240, 320},  {17, 0xFFE8A0BF, 0xFF7A2E52, 240, 240},
    {23, 0xFFB9B4E8, 0xFF3F3A80, 256, 256},
};

QByteArray drawPicture(const DemoPicture& picture)
{
    QImage image(picture.width, picture.height, QImage::Format_RGB32);
    image.fill(picture.background);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromRgb(picture.figure));
        const int side = std::min(picture.width, picture.height);
        const QPointF centre(picture.width / 2.0, picture.height / 2.0);
        painter.drawEllipse(centre + QPointF(0, -side * 0.12), side * 0.2, side * 0.2);
        painter.drawEllipse(centre + QPointF(0, side * 0.45), side * 0.42, side * 0.3);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool describe(DemoContext& context, QString* error)
{
    QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("AddressBookImages.sqlitedb"));
    AddressBookImagesFixture images({AddressBookImagesFixture::Table::ABFullSizeImage,
                                     AddressBookImagesFixture::Table::ABThumbnailImage});
    for (const DemoPicture& picture : kPictures)
        images.image(picture.person, drawPicture(picture),
                     AddressBookImagesFixture::Table::ABFullSizeImage);
    if (!images.write(path, error))
        return false;
    context.device().backupFile(QStringLiteral("HomeDomain"),
                                QStringLiteral("Library/AddressBook/AddressBookImages.sqlitedb"),
                                readAll(path));
    return true;
}

[[maybe_unused]] const bool registered =
    DemoCategories::add({QStringLiteral("contacts"), describe, {}});

} // namespace

} // namespace DemoDevice
