// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QELDeviceInterface;

// The artwork files of media bought from the store, by media file name, read
// from the device's "/Purchases/StorePurchasesInfo.plist". Filled on one
// thread, then read from any.
class QELArtworkITunesPurchases {
public:
    // Rebuilds the table from the device (an empty table without one).
    static void populateMusicLibraryWithPurchasedArtwork(QELDeviceInterface* device);
    // Rebuilds the table from a local copy of StorePurchasesInfo.plist.
    static void populateFromLocalCopy(const QString& path);
    // "/Purchases/<artwork>" for a media file name or path, or a null text.
    static QString getArtworkForPurchasedFileName(const QString& fileName);
};
