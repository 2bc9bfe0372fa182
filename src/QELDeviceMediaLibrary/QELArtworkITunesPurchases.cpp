// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELArtworkITunesPurchases.h"

#include <mutex>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QVariantMap>

#include "Locations.h"
#include "Plist.h"
#include "QELDeviceInterface.h"

namespace {

std::mutex g_tableMutex;
QHash<QString, QString> g_table;

} // namespace

void QELArtworkITunesPurchases::populateFromLocalCopy(const QString& path)
{
    QHash<QString, QString> table;
    const QVariantMap outer = Plist::readFile(path).toMap();
    if (outer.contains(QStringLiteral("data"))) {
        const QVariantMap inner = Plist::parse(outer.value(QStringLiteral("data")).toByteArray()).toMap();
        const QVariantList assets = inner.value(QStringLiteral("assetOrdering")).toList();
        for (const QVariant& asset : assets) {
            const QVariantMap entry = asset.toMap();
            const QString media = entry.value(QStringLiteral("relativeMediaAssetPath")).toString();
            const QString artwork = entry.value(QStringLiteral("relativeArtworkAssetPath")).toString();
            if (entry.contains(QStringLiteral("relativeMediaAssetPath")) && entry.contains(QStringLiteral("relativeArtworkAssetPath")))
                table.insert(media, artwork);
        }
    }
    std::lock_guard<std::mutex> guard(g_tableMutex);
    g_table = std::move(table);
}

void QELArtworkITunesPurchases::populateMusicLibraryWithPurchasedArtwork(QELDeviceInterface* device)
{
    {
        std::lock_guard<std::mutex> guard(g_tableMutex);
        g_table.clear();
    }
    const QString devicePath = QStringLiteral("/Purchases/StorePurchasesInfo.plist");
    const QString folder = Locations::temporaryFolder();
    if (!device || folder.isEmpty() || !device->fileExistsAtPath(devicePath))
        return;
    const QString local = folder + QStringLiteral("/storePurchaseInfo.plist");
    QFile::remove(local);
    if (!device->copyFileFromDeviceAtToLocalPath(devicePath, local))
        return;
    populateFromLocalCopy(local);
}

QString QELArtworkITunesPurchases::getArtworkForPurchasedFileName(const QString& fileName)
{
    const QString key = QFileInfo(fileName).fileName();
    std::lock_guard<std::mutex> guard(g_tableMutex);
    auto it = g_table.constFind(key);
    if (it == g_table.constEnd())
        return QString();
    return QStringLiteral("/Purchases/%1").arg(*it);
}
