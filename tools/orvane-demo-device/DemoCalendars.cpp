// SPDX-License-Identifier: GPL-3.0-or-later
// Calendars, read from a backup: three calendars of made-up timed, all-day and
// repeating events around the day the demo device is written.
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include "CalendarFixture.h"
#include "DemoCategory.h"
#include "SimulatedDeviceBuilder.h"

namespace DemoDevice {

namespace {

bool describe(DemoContext& context, QString* error)
{
    QTemporaryDir scratch;
    const QString path = scratch.path() + QStringLiteral("/Calendar.sqlitedb");
    if (!CalendarFixture::write(path, CalendarFixture::demo(QDateTime::currentDateTimeUtc()),
                                error))
        return false;
    QFile file(path);
    const QByteArray database = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (database.isEmpty()) {
        *error = QStringLiteral("the calendar database could not be read back");
        return false;
    }
    context.device().backupFile(QStringLiteral("HomeDomain"),
                                QStringLiteral("Library/Calendar/Calendar.sqlitedb"), database);
    return true;
}

[[maybe_unused]] const bool registered =
    DemoCategories::add({QStringLiteral("calendars"), describe, {}});

} // namespace

} // namespace DemoDevice
