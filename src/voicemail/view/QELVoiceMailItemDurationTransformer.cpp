// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELVoiceMailItemDurationTransformer.h"

#include "QELTimeFormatter.h"

QString QELVoiceMailItemDurationTransformer::transformedValue(const QVariant& value) const
{
    bool number = false;
    const qint64 seconds = value.toLongLong(&number);
    const bool numeric = value.typeId() != QMetaType::QString && number;
    if (!numeric)
        return value.toString();
    return QELTimeFormatter().stringForObjectValue(QVariant(seconds * 1000));
}
