// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVariant>

// The voicemail list's length column: a number of seconds as [HH:]MM:SS
// (QELTimeFormatter); any other value as its text. One way only.
class QELVoiceMailItemDurationTransformer {
public:
    QString transformedValue(const QVariant& value) const;
    static bool allowsReverseTransformation() { return false; }
};
