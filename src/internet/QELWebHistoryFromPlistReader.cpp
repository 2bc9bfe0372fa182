// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELWebHistoryFromPlistReader.h"

#include <QFileInfo>
#include <QVariantList>
#include <QVariantMap>

#include "Plist.h"
#include "ThreadCheck.h"

namespace {

// History files of a few megabytes are usual; far larger is not a history.
constexpr qint64 kMaxHistoryPlistBytes = 256LL * 1024 * 1024;

std::optional<qint64> integerOf(const QVariant& value)
{
    bool ok = false;
    const qint64 number = value.toLongLong(&ok);
    return ok ? std::optional<qint64>(number) : std::nullopt;
}

} // namespace

bool QELWebHistoryFromPlistReader::populateWebHistoryFromPath(const QString& path)
{
    assertNotOnGuiThread();
    setLastError(QString());
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile()) {
        setLastError(QStringLiteral("no file at %1").arg(path));
        return false;
    }
    if (info.size() > kMaxHistoryPlistBytes) {
        setLastError(QStringLiteral("%1 is too large for a history list").arg(path));
        return true;
    }
    QString error;
    const QVariant root = Plist::readFile(path, &error);
    if (!root.isValid()) {
        setLastError(QStringLiteral("%1 is not a property list: %2").arg(path, error));
        return true;
    }
    const QVariant datesValue = root.toMap().value(QStringLiteral("WebHistoryDates"));
    if (datesValue.typeId() != QMetaType::QVariantList) {
        setLastError(QStringLiteral("%1 holds no list of visits").arg(path));
        return true;
    }
    const QVariantList dates = datesValue.toList();
    for (const QVariant& element : dates) {
        if (element.typeId() != QMetaType::QVariantMap)
            continue;
        const QVariantMap entry = element.toMap();
        const auto title = entry.constFind(QStringLiteral("title"));
        if (title == entry.constEnd())
            continue;
        const auto visited = entry.constFind(QStringLiteral("lastVisitedDate"));
        if (visited == entry.constEnd())
            continue;
        QELSafariHistoryItem item;
        item.setTitle(title->toString());
        const auto address = entry.constFind(QStringLiteral(""));
        if (address != entry.constEnd())
            item.setAddress(address->toString());
        item.setVisitCount(integerOf(entry.value(QStringLiteral("visitCount"))));
        addHistoryItemToStore(std::move(item), *visited);
    }
    return true;
}
