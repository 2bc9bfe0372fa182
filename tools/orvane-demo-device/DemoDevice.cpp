// SPDX-License-Identifier: GPL-3.0-or-later
#include "DemoDevice.h"

#include <QDir>
#include <QVariantMap>

#include "DemoCategory.h"
#include "Plist.h"
#include "SimulatedDeviceBuilder.h"

namespace DemoDevice {

namespace {

bool removeEarlierDemo(const QString& folder, QString* error)
{
    QDir dir(folder);
    if (!dir.exists())
        return true;
    if (dir.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
        return true;
    const QVariantMap values = Plist::readFile(folder + QStringLiteral("/device.plist")).toMap();
    if (!values.value(QLatin1String(kMarkerKey)).toBool()) {
        *error = QStringLiteral("%1 is not empty and holds no demo device; nothing was written")
                     .arg(folder);
        return false;
    }
    if (!dir.removeRecursively()) {
        *error = QStringLiteral("the earlier demo device in %1 could not be removed").arg(folder);
        return false;
    }
    return true;
}

} // namespace

bool write(const QString& folder, Summary* summary, QString* error, const QString& productVersion)
{
    // A system before 9 comes with a model of its time (an iPhone 6), which the
    // categories of older systems are listed for.
    if (!removeEarlierDemo(folder, error))
        return false;

    SimulatedDeviceBuilder builder(folder);
    builder.deviceClass(QStringLiteral("iPhone"))
        .productType(productVersion.section(QLatin1Char('.'), 0, 0).toInt() < 9 ? QStringLiteral("iPhone7,2")
                                                                  : QStringLiteral("iPhone14,5"))
        .productVersion(productVersion)
        .deviceName(QStringLiteral("Alex's iPhone"))
        .udid(QStringLiteral("00008110-001A2B3C4D5E801E"))
        .value(QStringLiteral("SerialNumber"), QStringLiteral("F2LDEMO0Q6L7"))
        .value(QLatin1String(kMarkerKey), true);
    // Each category describes its own part (the Demo*.cpp files), then writes
    // what needs the device folder to exist.
    DemoContext context(builder, folder, summary);
    const std::vector<const DemoCategoryBuilder*> categories = DemoCategories::all();
    for (const DemoCategoryBuilder* category : categories) {
        if (category->describe && !category->describe(context, error))
            return false;
    }
    if (builder.build().isEmpty()) {
        *error = QStringLiteral("the device folder %1 could not be written").arg(folder);
        return false;
    }
    for (const DemoCategoryBuilder* category : categories) {
        if (category->write && !category->write(context, error))
            return false;
    }
    return true;
}

} // namespace DemoDevice
