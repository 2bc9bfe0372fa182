// SPDX-License-Identifier: GPL-3.0-or-later
#include "PhotosTestSupport.h"

#include <gtest/gtest.h>
#include <libheif/heif.h>

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QImageWriter>

#include "QELDeviceInterface.h"
#include "QELImageStore.h"

namespace PhotosTest {

QByteArray jpegBytes(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "jpeg").write(image);
    return bytes;
}

QByteArray jpegWithOrientation(QSize size, int orientation)
{
    const QByteArray jpeg = jpegBytes(size, Qt::gray);
    // "Exif\0\0", a little-endian TIFF header and one IFD entry: 0x0112
    // (orientation), SHORT, count 1, the value.
    QByteArray tiff("II\x2a\x00\x08\x00\x00\x00", 8);
    tiff += QByteArray("\x01\x00", 2); // one entry
    tiff += QByteArray("\x12\x01\x03\x00\x01\x00\x00\x00", 8);
    tiff += char(orientation);
    tiff += QByteArray(3, '\0');
    tiff += QByteArray(4, '\0'); // no next IFD
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(payload.size()) + 2;
    QByteArray app1("\xff\xe1", 2);
    app1 += char(length >> 8);
    app1 += char(length & 0xff);
    app1 += payload;
    return jpeg.left(2) + app1 + jpeg.mid(2);
}

QByteArray heicBytes(QSize size)
{
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    QByteArray out;
    if (heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code
        == heif_error_Ok) {
        heif_image* image = nullptr;
        heif_image_create(size.width(), size.height(), heif_colorspace_RGB,
                          heif_chroma_interleaved_RGB, &image);
        heif_image_add_plane(image, heif_channel_interleaved, size.width(), size.height(), 8);
        int stride = 0;
        uint8_t* pixels = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                uint8_t* p = pixels + y * stride + 3 * x;
                p[0] = 230;
                p[1] = 20;
                p[2] = 20;
            }
        heif_encoder_set_lossy_quality(encoder, 90);
        if (heif_context_encode_image(context, image, encoder, nullptr, nullptr).code
            == heif_error_Ok) {
            heif_writer writer{};
            writer.writer_api_version = 1;
            writer.write = [](heif_context*, const void* data, size_t size, void* target) {
                static_cast<QByteArray*>(target)->append(static_cast<const char*>(data),
                                                         qsizetype(size));
                return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
            };
            heif_context_write(context, &writer, &out);
        }
        heif_image_release(image);
        heif_encoder_release(encoder);
    }
    heif_context_free(context);
    return out;
}

Library::Library()
{
    QDir().mkpath(deviceRoot());
    QDir().mkpath(copies());
    m_device = QELDeviceInterface::createOverFolder(deviceRoot());
}

Library::~Library()
{
    m_reader.reset();
    m_device->shutdown();
}

void Library::deviceFile(const QString& path, const QByteArray& bytes)
{
    ASSERT_TRUE(PhotosDbFixture::writeFile(deviceRoot(), path, bytes)) << qPrintable(path);
}

void Library::deviceFolder(const QString& path)
{
    ASSERT_TRUE(QDir().mkpath(QDir(deviceRoot()).filePath(path)));
}

void Library::database(const PhotosDbFixture::Schema& schema,
                       const QList<PhotosDbFixture::Asset>& assets,
                       const QList<PhotosDbFixture::AlbumRow>& albums)
{
    QString error;
    ASSERT_TRUE(PhotosDbFixture::write(databasePath(), schema, assets, albums, &error))
        << qPrintable(error);
}

bool Library::read(bool withDevice)
{
    m_reader = QELDeviceImagePhotosDbReader::create(
        copies(), QStringLiteral("/PhotoData/Photos.sqlite"), QStringLiteral("photos.db"));
    if (!m_reader) {
        ADD_FAILURE() << "no reader";
        return false;
    }
    m_reader->setDelegate(&m_delegate);
    if (withDevice)
        m_reader->setDeviceInterface(m_device.get());
    return m_reader->readImageDatabase();
}

ImageDetailPtr Library::image(qint64 id) const
{
    const QList<ImageDetailPtr> images = m_reader->store()->imagesWithID(id);
    return images.size() == 1 ? images.first() : nullptr;
}

} // namespace PhotosTest
