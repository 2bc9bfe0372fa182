#include "QELTimeFormatter.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace {

// The value as a 32-bit count of milliseconds, or nothing when it is not a number.
std::optional<int32_t> milliseconds(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        // Wider integers keep their low 32 bits, as a 32-bit read of them does.
        return static_cast<int32_t>(value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = std::trunc(value.toDouble());
        if (std::isnan(number))
            return 0;
        if (number >= static_cast<double>(std::numeric_limits<int32_t>::max()))
            return std::numeric_limits<int32_t>::max();
        if (number <= static_cast<double>(std::numeric_limits<int32_t>::min()))
            return std::numeric_limits<int32_t>::min();
        return static_cast<int32_t>(number);
    }
    default:
        return std::nullopt;
    }
}

QString twoDigits(int number) { return QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0')); }

} // namespace

QString QELTimeFormatter::stringForObjectValue(const QVariant& value) const
{
    const std::optional<int32_t> ms = milliseconds(value);
    if (!ms)
        return QStringLiteral("Formatter error");
    if (*ms <= 0)
        return QStringLiteral(" ");
    const int hours = *ms / 3600000;
    const int minutes = (*ms % 3600000) / 60000;
    const int seconds = (*ms % 60000) / 1000;
    QString text;
    if (hours > 0)
        text += twoDigits(hours) + QLatin1Char(':');
    text += twoDigits(minutes) + QLatin1Char(':') + twoDigits(seconds);
    return text;
}

bool QELTimeFormatter::getObjectValueForStringErrorDescription(QVariant* /*object*/,
                                                               const QString& /*string*/,
                                                               QString* /*error*/) const
{
    return true;
}
