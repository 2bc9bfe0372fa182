// SPDX-License-Identifier: GPL-3.0-or-later
#include "ArtworkTestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "PhotosTestSupport.h"
#include "QELDeviceInterface.h"

namespace ArtworkTest {

namespace {

using Picture = ArtworkDBWriter::Picture;

Picture picture(quint32 correlationID, const QString& name, quint32 offset, quint32 size,
                quint16 width, quint16 height)
{
    Picture p;
    p.correlationID = correlationID;
    p.name = name;
    p.offset = offset;
    p.size = size;
    p.width = width;
    p.height = height;
    return p;
}

QByteArray solid565(int width, int height, quint16 word)
{
    return ArtworkDBWriter::pixels(width, height, [word](int, int) { return word; });
}

} // namespace

Sample artworkSample()
{
    Sample s;
    const QByteArray jpeg101 = PhotosTest::jpegBytes(QSize(64, 64), Qt::blue);
    const QByteArray jpeg103 = PhotosTest::jpegBytes(QSize(32, 32), Qt::yellow);
    const QByteArray jpeg105 = PhotosTest::jpegBytes(QSize(16, 16), Qt::magenta);

    // Red 7 x 5 (stored 8 x 5) then blue 7 x 5: the second is the file's last record.
    s.files.insert(QStringLiteral("F1093_1.ithmb"),
                   solid565(7, 5, ArtworkDBWriter::rgb565(31, 0, 0))
                       + solid565(7, 5, ArtworkDBWriter::rgb565(0, 0, 31)));
    // Green 8 x 6 inside two black columns of padding on each side.
    s.files.insert(QStringLiteral("F3005_1.ithmb"), ArtworkDBWriter::pixels(12, 6, [](int x, int) {
                       return x < 2 || x >= 10 ? ArtworkDBWriter::rgb555(0, 0, 0)
                                               : ArtworkDBWriter::rgb555(0, 31, 0);
                   }));
    s.files.insert(QStringLiteral("F1005_1.ithmb"), solid565(8, 8, 0xFFFF));
    // Raw words that are no image file, then a JPEG, under an id the table lacks.
    s.files.insert(QStringLiteral("F1027_1.ithmb"), solid565(4, 4, 0x1234) + jpeg105);
    s.files.insert(QStringLiteral("Full/A101.jpg"), jpeg101);
    s.files.insert(QStringLiteral("Full/A103.jpg"), jpeg103);

    ArtworkDBWriter::Image a;
    a.id = 101;
    a.songID = 0x1122334455667788ULL;
    a.rating = 60;
    a.date = 3600000000u; // 2018-01-28T16:00:00Z
    a.sourceSize = 123456;
    a.pictures << picture(1093, QStringLiteral(":F1093_1.ithmb"), 0, 80, 7, 5);
    Picture padded = picture(3005, QStringLiteral(":F3005_1.ithmb"), 0, 144, 10, 6);
    padded.horizontalPadding = 2;
    padded.locationHeaderLength = 77; // the name ends at 1 or 3 modulo 4
    a.pictures << padded;
    Picture file =
        picture(4005, QStringLiteral(":Full:A101.jpg"), 0, quint32(jpeg101.size()), 64, 64);
    file.locationHeaderLength = 78; // ... at 2 modulo 4
    a.pictures << file;

    ArtworkDBWriter::Image b;
    b.id = 102;
    b.songID = 7;
    Picture unpreferred = picture(1005, QStringLiteral(":F1005_1.ithmb"), 0, 128, 8, 8);
    unpreferred.locationHeaderLength = 79;
    b.pictures << unpreferred;

    ArtworkDBWriter::Image c;
    c.id = 103;
    c.songID = 8;
    c.pictures << picture(4005, QStringLiteral(":Full:A103.jpg"), 0, quint32(jpeg103.size()), 32,
                          32);

    ArtworkDBWriter::Image d;
    d.id = 104;
    d.songID = 9;
    d.pictures << picture(1027, QStringLiteral(":F1027_1.ithmb"), 0, 32, 4, 4);

    ArtworkDBWriter::Image e;
    e.id = 105;
    e.songID = 10;
    e.pictures << picture(1027, QStringLiteral(":F1027_1.ithmb"), 32, quint32(jpeg105.size()), 16,
                          16);

    ArtworkDBWriter::Image f;
    f.id = 106;
    f.songID = 11;
    f.otherObjectTypes = {0x10002, 3};
    f.pictures << picture(1093, QStringLiteral(":F1093_1.ithmb"), 80, 80, 7, 5);

    s.db.images = {a, b, c, d, e, f};
    s.db.files = {{1093, 80}, {3005, 144}, {1005, 128}};
    return s;
}

Sample photoSample()
{
    Sample s;
    QByteArray thumbnails;
    for (int i = 1; i <= 4; ++i) {
        ArtworkDBWriter::Image image;
        image.id = quint32(i);
        image.date = 3600000000u + quint32(i) * 60;
        image.pictures << picture(1024, QStringLiteral(":Thumbs:F1024_1.ithmb"),
                                  quint32(thumbnails.size()), 32, 4, 4);
        thumbnails += solid565(4, 4, ArtworkDBWriter::rgb565(0, 63, 0));
        Picture full =
            picture(1, QStringLiteral(":Full Resolution:2008:IMG_000%1.jpg").arg(i), 0, 0, 40, 30);
        full.containerType = 5;
        image.pictures << full;
        s.files.insert(QStringLiteral("Full Resolution/2008/IMG_000%1.jpg").arg(i),
                       PhotosTest::jpegBytes(QSize(40, 30), QColor(200, 10 * i, 0)));
        s.db.images << image;
    }
    s.files.insert(QStringLiteral("Thumbs/F1024_1.ithmb"), thumbnails);
    ArtworkDBWriter::Album library{QStringLiteral("Photo Library"), 1, {1, 2, 3, 4}};
    ArtworkDBWriter::Album event{QStringLiteral("Trip"), 12, {1, 2, 1}}; // 1 twice
    ArtworkDBWriter::Album face{QStringLiteral("Ann Lee"), 15, {3}};
    ArtworkDBWriter::Album holiday{QStringLiteral("Holiday"), 2, {2, 4}};
    holiday.objectBeforeItem = 1;
    ArtworkDBWriter::Album nothing{QStringLiteral("Nothing here"), 6, {999}};
    s.db.albums = {library, event, face, holiday, nothing};
    s.db.files = {{1024, 32}};
    return s;
}

void RecordingDelegate::OnDeviceImageLibraryDatabaseReadComplete(
    const QELDeviceImageLibraryDatabaseReadCompleteArguments& arguments)
{
    std::lock_guard lock(m_mutex);
    m_completions.append(arguments.success());
}

void RecordingDelegate::OnDeviceImageLibraryDatabaseReadProgressWithProgressCounterOf(
    const QString& text, qint64 counter, qint64 total)
{
    std::lock_guard lock(m_mutex);
    m_progress.append({text, counter, total});
}

QList<bool> RecordingDelegate::completions() const
{
    std::lock_guard lock(m_mutex);
    return m_completions;
}

QList<Progress> RecordingDelegate::progress() const
{
    std::lock_guard lock(m_mutex);
    return m_progress;
}

Device::Device()
{
    QDir().mkpath(root());
    QDir().mkpath(copies());
    m_device = QELDeviceInterface::createOverFolder(root());
}

Device::~Device()
{
    if (m_device)
        m_device->shutdown();
}

void Device::file(const QString& path, const QByteArray& bytes) const
{
    const QString full = root() + QLatin1Char('/') + path;
    QDir().mkpath(QFileInfo(full).path());
    QFile f(full);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

void Device::copy(const QString& name, const QByteArray& bytes) const
{
    QFile f(copies() + QLatin1Char('/') + name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

void Device::install(const Sample& sample, const QString& folder, const QString& name)
{
    for (auto it = sample.files.cbegin(); it != sample.files.cend(); ++it)
        file(folder + QLatin1Char('/') + it.key(), it.value());
    const QByteArray db = sample.db.build();
    file(folder + QLatin1Char('/') + name, db);
    copy(name, db);
}

} // namespace ArtworkTest
