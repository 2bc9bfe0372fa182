// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include <QSet>

#include "InstallationProxy.h"

// The installation proxy of a simulated device: the apps are the folders of
// <device>/apps, each with its Info.plist (docs/simulated-devices.md);
// archives and staged packages live in the device's file service (<device>/afc).
// Bundle identifiers are only ever compared with the Info.plist values, never
// made into paths, so a hostile identifier names no folder.
class SimulatedInstallationProxy : public InstallationProxy {
public:
    using Recorder = std::function<void(const QString& call)>;

    SimulatedInstallationProxy(QString deviceFolder, std::shared_ptr<std::atomic<bool>> present,
                               const QVariantMap& simulation, Recorder record);

    uint32_t lookup(const QStringList& returnAttributes, QVariantMap* apps) override;
    uint32_t install(const QString& stagedPath) override;
    uint32_t uninstall(const QString& bundleId) override;
    uint32_t archive(const QString& bundleId) override;
    uint32_t removeArchive(const QString& bundleId) override;

    // The folder of the app with that bundle identifier below `appsFolder`;
    // empty when no app has it.
    static QString appFolderOf(const QString& appsFolder, const QString& bundleId);
    // The app's Info.plist with the defaults a device reports: "ApplicationType"
    // "User" when absent. Empty when unreadable.
    static QVariantMap infoOf(const QString& appFolder);
    // Whether the bytes look like a whole zip archive (an .ipa): a local file
    // header at the start and the end-of-directory record at the end.
    static bool isWholeZip(const QByteArray& bytes);
    // A zip archive (stored, no compression) of one file.
    static QByteArray storedZip(const QString& name, const QByteArray& bytes);

private:
    // The file-service path of an archive, or empty for an identifier that
    // could not be a file name there.
    QString archivePath(const QString& bundleId) const;

    QString m_folder;
    std::shared_ptr<std::atomic<bool>> m_present;
    QSet<QString> m_archiveFailures;
    QSet<QString> m_installFailures;
    Recorder m_record;
};
