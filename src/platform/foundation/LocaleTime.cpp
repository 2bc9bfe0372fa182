// SPDX-License-Identifier: GPL-3.0-or-later
#include "LocaleTime.h"

#include <QRegularExpression>

namespace LocaleTime {

QString shortTimeFormat(const QLocale& locale)
{
    QString format = locale.timeFormat(QLocale::ShortFormat);
    // The seconds and the separator before them ("HH:mm:ss", "h.mm.ss a").
    static const QRegularExpression seconds(QStringLiteral("[:.]\\s*ss?(?![a-zA-Z])"));
    format.remove(seconds);
    return format;
}

QString shortTime(const QTime& time, const QLocale& locale)
{
    return locale.toString(time, shortTimeFormat(locale));
}

} // namespace LocaleTime
