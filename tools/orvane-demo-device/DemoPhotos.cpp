// SPDX-License-Identifier: GPL-3.0-or-later
// The photo library: pictures and a short video in the camera roll, their
// Photos.sqlite with two albums and a favourite, and the 120x120 thumbnail
// file the library reads its thumbnails from.
#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QtEndian>

#include "DemoCategory.h"
#include "PhotosDbFixture.h"
#include "SimulatedDeviceBuilder.h"

namespace DemoDevice {

namespace {

constexpr int kThumbnail = 120;

struct DemoPicture {
    const char* name;
    int hue;
    QSize size;
    bool favourite;
};

// Hills under a sky, in the picture's own hue.
QImage scene(int hue, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor::fromHsv(hue, 90, 250));
    sky.setColorAt(1, QColor::fromHsv((hue + 30) % 360, 60, 200));
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromHsv((hue + 40) % 360, 140, 230));
    painter.drawEllipse(QPointF(size.width() * 0.75, size.height() * 0.28), size.height() * 0.1,
                        size.height() * 0.1);
    for (int layer = 0; layer < 3; ++layer) {
        painter.setBrush(
            QColor::fromHsv((hue + 120 + layer * 15) % 360, 120 + layer * 30, 170 - layer * 35));
        const double base = size.height() * (0.62 + layer * 0.12);
        painter.drawEllipse(
            QPointF(size.width() * (0.2 + layer * 0.35), base + size.height() * 0.3),
            size.width() * 0.55, size.height() * 0.4);
    }
    return image;
}

QByteArray jpeg(const QImage& image, int quality = 88)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", quality);
    return bytes;
}

// One 120x120 record of the thumbnail file: the picture fitted into the
// square (the library paints the bars of a picture that is not square) as
// RGB555 pixels, then the record's 28 further bytes.
QByteArray thumbnailRecord(const QImage& picture)
{
    QImage square(kThumbnail, kThumbnail, QImage::Format_RGB32);
    square.fill(Qt::white);
    const QImage fitted =
        picture.scaled(kThumbnail, kThumbnail, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter(&square).drawImage((kThumbnail - fitted.width()) / 2,
                                (kThumbnail - fitted.height()) / 2, fitted);
    QByteArray record;
    record.reserve(kThumbnail * kThumbnail * 2 + 28);
    for (int y = 0; y < kThumbnail; ++y)
        for (int x = 0; x < kThumbnail; ++x) {
            const QRgb p = square.pixel(x, y);
            const quint16 word =
                quint16(((qRed(p) >> 3) << 10) | ((qGreen(p) >> 3) << 5) | (qBlue(p) >> 3));
            record.append(char(word & 0xFF));
            record.append(char(word >> 8));
        }
    record.append(QByteArray(28, '\0'));
    return record;
}

QByteArray box(const char* type, const QByteArray& payload)
{
    QByteArray out(4, '\0');
    qToBigEndian<quint32>(quint32(payload.size() + 8), out.data());
    return out + QByteArray(type, 4) + payload;
}

QByteArray be32(quint32 value)
{
    QByteArray out(4, '\0');
    qToBigEndian<quint32>(value, out.data());
    return out;
}

QByteArray be16(quint16 value)
{
    QByteArray out(2, '\0');
    qToBigEndian<quint16>(value, out.data());
    return out;
}

// A QuickTime movie of Motion-JPEG frames at 10 frames a second: what a
// camera-roll video needs to play in the preview.
QByteArray movie(const QList<QByteArray>& frames, QSize size)
{
    const quint32 timescale = 600;
    const quint32 delta = 60;
    const quint32 duration = delta * quint32(frames.size());
    const QByteArray ftyp = box("ftyp", QByteArray("qt  ") + be32(0x200) + QByteArray("qt  "));
    QByteArray data;
    for (const QByteArray& frame : frames)
        data += frame;
    const quint32 dataOffset = quint32(ftyp.size() + 8);
    const QByteArray matrix = be32(0x10000) + be32(0) + be32(0) + be32(0) + be32(0x10000) + be32(0)
        + be32(0) + be32(0) + be32(0x40000000);
    const QByteArray mvhd =
        box("mvhd",
            be32(0) + be32(0) + be32(0) + be32(timescale) + be32(duration) + be32(0x10000)
                + be16(0x100) + QByteArray(10, '\0') + matrix + QByteArray(24, '\0') + be32(2));
    const QByteArray tkhd =
        box("tkhd",
            be32(0xF) + be32(0) + be32(0) + be32(1) + be32(0) + be32(duration) + QByteArray(8, '\0')
                + be16(0) + be16(0) + be16(0) + be16(0) + matrix + be32(quint32(size.width()) << 16)
                + be32(quint32(size.height()) << 16));
    const QByteArray mdhd = box(
        "mdhd", be32(0) + be32(0) + be32(0) + be32(timescale) + be32(duration) + be16(0) + be16(0));
    const QByteArray hdlr = box("hdlr",
                                be32(0) + QByteArray("mhlr") + QByteArray("vide")
                                    + QByteArray(12, '\0') + QByteArray(1, '\0'));
    const QByteArray vmhd = box("vmhd", be32(1) + QByteArray(8, '\0'));
    const QByteArray dinf = box("dinf", box("dref", be32(0) + be32(1) + box("alis", be32(1))));
    QByteArray entry = QByteArray(6, '\0') + be16(1) + be16(0) + be16(0) + QByteArray("appl")
        + be32(0) + be32(512) + be16(quint16(size.width())) + be16(quint16(size.height()))
        + be32(0x480000) + be32(0x480000) + be32(0) + be16(1);
    QByteArray compressor(32, '\0');
    compressor[0] = char(10);
    compressor.replace(1, 10, "Photo JPEG");
    entry += compressor + be16(24) + be16(0xFFFF);
    const QByteArray stsd = box("stsd", be32(0) + be32(1) + box("jpeg", entry));
    const QByteArray stts =
        box("stts", be32(0) + be32(1) + be32(quint32(frames.size())) + be32(delta));
    const QByteArray stsc =
        box("stsc", be32(0) + be32(1) + be32(1) + be32(quint32(frames.size())) + be32(1));
    QByteArray sizes = be32(0) + be32(0) + be32(quint32(frames.size()));
    for (const QByteArray& frame : frames)
        sizes += be32(quint32(frame.size()));
    const QByteArray stsz = box("stsz", sizes);
    const QByteArray stco = box("stco", be32(0) + be32(1) + be32(dataOffset));
    const QByteArray stbl = box("stbl", stsd + stts + stsc + stsz + stco);
    const QByteArray minf = box("minf", vmhd + hdlr + dinf + stbl);
    const QByteArray mdia = box("mdia", mdhd + hdlr + minf);
    const QByteArray trak = box("trak", tkhd + mdia);
    return ftyp + box("mdat", data) + box("moov", mvhd + trak);
}

const DemoPicture kPictures[] = {
    {"IMG_0101.JPG", 200, {640, 480}, false}, {"IMG_0102.JPG", 30, {640, 480}, true},
    {"IMG_0103.JPG", 120, {480, 640}, false}, {"IMG_0104.JPG", 280, {640, 480}, false},
    {"IMG_0105.JPG", 10, {640, 480}, false},  {"IMG_0106.JPG", 170, {640, 427}, false},
    {"IMG_0107.JPG", 240, {480, 640}, false}, {"IMG_0108.JPG", 60, {640, 480}, true},
};
const char* const kVideo = "IMG_0109.MOV";

bool describe(DemoContext& context, QString*)
{
    SimulatedDeviceBuilder& device = context.device();
    QByteArray thumbnails;
    for (const DemoPicture& p : kPictures) {
        const QImage picture = scene(p.hue, p.size);
        device.afcFile(QStringLiteral("DCIM/102APPLE/") + QLatin1String(p.name), jpeg(picture));
        thumbnails += thumbnailRecord(picture);
    }
    QList<QByteArray> frames;
    for (int i = 0; i < 20; ++i)
        frames << jpeg(scene((330 + i * 3) % 360, QSize(320, 240)), 70);
    device.afcFile(QStringLiteral("DCIM/102APPLE/") + QLatin1String(kVideo),
                   movie(frames, QSize(320, 240)));
    thumbnails += thumbnailRecord(scene(330, QSize(320, 240)));
    device.afcFile(QStringLiteral("PhotoData/Thumbnails/120x120.ithmb"), thumbnails);
    return true;
}

bool write(DemoContext& context, QString* error)
{
    QList<PhotosDbFixture::Asset> assets;
    qint64 pk = 1;
    // A week of pictures ending two days ago.
    const double start = PhotosDbFixture::daysAgo(9);
    auto add = [&](const QString& name, QSize size, bool favourite) {
        PhotosDbFixture::Asset a;
        a.pk = pk;
        a.fileName = name;
        a.directory = QStringLiteral("DCIM/102APPLE");
        a.created = start + double(pk) * 86400 * 0.8;
        a.thumbnailIndex = int(pk - 1);
        a.width = size.width();
        a.height = size.height();
        a.sortToken = double(pk);
        a.favorite = favourite ? 1 : 0;
        assets << a;
        ++pk;
    };
    for (const DemoPicture& p : kPictures)
        add(QLatin1String(p.name), p.size, p.favourite);
    add(QLatin1String(kVideo), QSize(320, 240), false);
    const QList<PhotosDbFixture::AlbumRow> albums = {
        {100, 1552, QString(), {1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {101, 2, QStringLiteral("Summer at the Lake"), {1, 2, 4, 6, 9}},
        {102, 2, QStringLiteral("Family"), {2, 3, 7, 8}},
    };
    return PhotosDbFixture::write(context.afcRoot() + QStringLiteral("PhotoData/Photos.sqlite"),
                                  PhotosDbFixture::Schema{}, assets, albums, error);
}

[[maybe_unused]] const bool registered =
    DemoCategories::add({QStringLiteral("photos"), describe, write});

} // namespace

} // namespace DemoDevice
