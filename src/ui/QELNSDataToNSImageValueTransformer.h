#pragma once

#include <QByteArray>
#include <QImage>
#include <QMetaType>
#include <QVariant>

// Turns image data (PNG, JPEG, TIFF… bytes) into an image for the views.
class QELNSDataToNSImageValueTransformer {
public:
    static QMetaType transformedValueClass() { return QMetaType::fromType<QImage>(); }
    static bool allowsReverseTransformation() { return false; }

    // A null image when the value is missing, empty or cannot be decoded.
    static QImage transformedValue(const QVariant& value);
    static QImage transformedValue(const QByteArray& bytes);
};
