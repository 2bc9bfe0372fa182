#include "QELNSDataToNSImageValueTransformer.h"

#include <QBuffer>
#include <QImageReader>

QImage QELNSDataToNSImageValueTransformer::transformedValue(const QVariant& value)
{
    if (!value.isValid() || value.userType() != QMetaType::QByteArray)
        return QImage();
    return transformedValue(value.toByteArray());
}

QImage QELNSDataToNSImageValueTransformer::transformedValue(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return QImage();
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return QImage();
    QImageReader reader(&buffer);
    // Device-supplied pictures: refuse absurd sizes rather than allocate them.
    reader.setAllocationLimit(256);
    QImage image;
    if (!reader.read(&image))
        return QImage();
    return image;
}
