// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PhotoLibraryHost.h"

// The computer's photo library as a folder of pictures: "<pictures>/<name>",
// the name the setting "PhotoLibraryFolderName" ("Orvane Photos" when unset
// or not a plain folder name). The library itself is that folder; each album
// is a subfolder named after it, made safe. A file never replaces another:
// a name that is taken gets " (n)"; a file identical to one already in the
// same folder is not imported again. A favourite gets an XMP sidecar
// ("<file>.xmp", rating 5) that photo managers read.
class FolderPhotoLibraryHost : public PhotoLibraryHost {
public:
    static constexpr const char* kFolderNameSetting = "PhotoLibraryFolderName";
    static constexpr const char* kDefaultFolderName = "Orvane Photos";

    // `folder` replaces the library folder (tests and the demo).
    explicit FolderPhotoLibraryHost(const QString& folder = QString());

    // The library folder of the settings; empty without a pictures folder.
    static QString defaultFolder();
    QString folder() const { return m_folder; }

    bool available() const override;
    Kind kind() const override { return Kind::KeepsOriginals; }
    ImportResult importFiles(const QStringList& files, const std::optional<QString>& album,
                             const QList<int>& favouritePositions) override;

    // The sidecar text of a favourite.
    static QByteArray favouriteSidecar();

private:
    QString m_folder;
};
