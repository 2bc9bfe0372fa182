// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>
#include <QString>
#include <QTime>

// Times of day as the user's locale writes them ("3:05 PM", "15:05"), to the
// minute: the short time format of some locales (C, the POSIX one) holds
// seconds, which no list or page of this program means to show.
namespace LocaleTime {

// The locale's short time format without its seconds.
QString shortTimeFormat(const QLocale& locale = QLocale());
QString shortTime(const QTime& time, const QLocale& locale = QLocale());

} // namespace LocaleTime
