// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELVoiceMailItemDateTransformer.h"

#include "QELCallLogHTMLGenerator.h"

QString QELVoiceMailItemDateTransformer::transformedValue(const QDateTime& value) const
{
    return QELCallLogHTMLGenerator::formattedDate(value, m_locale, std::nullopt);
}
