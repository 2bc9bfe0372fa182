// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// The voicemail list's date column: the locale's medium date and short time,
// in local time. One way only.
class QELVoiceMailItemDateTransformer {
public:
    explicit QELVoiceMailItemDateTransformer(const QLocale& locale = QLocale())
        : m_locale(locale)
    {
    }
    // Empty for an invalid date.
    QString transformedValue(const QDateTime& value) const;
    static bool allowsReverseTransformation() { return false; }

private:
    QLocale m_locale;
};
