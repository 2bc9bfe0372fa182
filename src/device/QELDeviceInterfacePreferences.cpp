// SPDX-License-Identifier: GPL-3.0-or-later
// The device's iTunes preferences: changed while the program works with the
// device, the untouched original kept per device outside the temporary folder
// and put back before the program ends, or at the device's next connection
// when it left first.
#include "QELDeviceInterface.h"

#include "Locations.h"
#include "Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

const QString kPrefsName = QStringLiteral("iTunesPrefs");
const QString kPrefsPlistName = QStringLiteral("iTunesPrefs.plist");
const QString kDeviceUploadSuffix = QStringLiteral(".orvane-new");

struct PatchRow {
    int offset;
    char value;
    enum Condition { Always, LongerThan187, LongerThan186, DiskMode, IOS } condition;
};

const PatchRow kPatches[] = {
    {9, 0, PatchRow::Always},          {10, 0, PatchRow::Always},   {52, 0, PatchRow::LongerThan187},
    {77, 0, PatchRow::Always},         {78, 0, PatchRow::Always},   {90, 0, PatchRow::LongerThan186},
    {121, 0, PatchRow::Always},        {130, 0, PatchRow::DiskMode}, {152, 0, PatchRow::Always},
    {156, 0, PatchRow::Always},        {168, 0, PatchRow::Always},  {172, 0, PatchRow::IOS},
    {174, 1, PatchRow::Always},        {186, 0, PatchRow::IOS},     {187, 2, PatchRow::Always},
    {273, 0, PatchRow::Always},        {284, 0, PatchRow::Always},  {286, 0, PatchRow::IOS},
};

// A device identifier as one safe folder name.
QString folderNameOf(const QString& udid)
{
    QString name;
    for (const QChar c : udid) {
        const bool plain = c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_')
                           || c == QLatin1Char('.') || c == QLatin1Char(':');
        name.append(plain && c.unicode() < 128 ? c : QLatin1Char('_'));
    }
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return {};
    return name;
}

QByteArray readWhole(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// Writes to a temporary name and renames it into place; false on any failure.
bool writeSafely(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size())
        return false;
    return file.commit();
}

} // namespace

QByteArray QELDeviceInterface::changedITunesPreferences(const QByteArray& original, qint64 operatingSystem)
{
    QByteArray changed = original;
    const qsizetype length = changed.size();
    for (const PatchRow& row : kPatches) {
        if (row.offset >= length)
            continue;
        bool applies = true;
        switch (row.condition) {
        case PatchRow::Always: break;
        case PatchRow::LongerThan187: applies = length > 187; break;
        case PatchRow::LongerThan186: applies = length > 186; break;
        case PatchRow::DiskMode: applies = operatingSystem == 0; break;
        case PatchRow::IOS: applies = operatingSystem == 1; break;
        }
        if (applies)
            changed[row.offset] = row.value;
    }
    return changed;
}

QString QELDeviceInterface::savedPreferencesFolderOfDevice() const
{
    QString udid;
    {
        std::lock_guard lock(m_stateMutex);
        udid = m_preferencesDevice;
    }
    const QString name = folderNameOf(udid);
    return name.isEmpty() ? QString() : Locations::savedPreferencesFolder(name);
}

bool QELDeviceInterface::uploadReplacing(const QString& localPath, const QString& devicePath)
{
    // Upload beside the target, then rename over it: the device never lacks
    // the file, and a failed upload leaves the original in place.
    const QString temporary = devicePath + kDeviceUploadSuffix;
    if (fileExistsAtPath(temporary) && !deletePath(temporary))
        return false;
    if (!copyLocalFileAtToDevicePath(localPath, temporary))
        return false;
    if (!fileExistsAtPath(devicePath))
        return renamePath(temporary, devicePath);
    if (renamePath(temporary, devicePath))
        return true;
    deletePath(temporary);
    return false;
}

void QELDeviceInterface::removePreferenceUploadLeftovers(const QString& folder)
{
    // A connection killed while it replaced a preference file leaves its
    // upload beside it: "iTunesPrefs.orvane-new", or the half-written
    // "….orvane-upload-<suffix>" of the upload itself. Only names of that
    // shape are ours to remove.
    const std::optional<QStringList> names = directoryContents(folder);
    if (!names)
        return;
    for (const QString& name : *names) {
        for (const QString& file : {kPrefsName, kPrefsPlistName}) {
            if (name.startsWith(file + kDeviceUploadSuffix)
                || name.startsWith(file + QStringLiteral(".orvane-upload-"))) {
                if (!deletePath(folder + QLatin1Char('/') + name))
                    qCWarning(lcOrvane) << "Could not remove a left-over upload from the device:" << name;
                break;
            }
        }
    }
}

bool QELDeviceInterface::modifyITunesPreferences()
{
    QString folder;
    if (fileExistsAtPath(QStringLiteral("/iTunes_Control/iTunes/iTunesPrefs")))
        folder = QStringLiteral("/iTunes_Control/iTunes");
    else if (fileExistsAtPath(QStringLiteral("/iPod_Control/iTunes/iTunesPrefs")))
        folder = QStringLiteral("/iPod_Control/iTunes");
    if (!folder.isEmpty()) {
        std::lock_guard lock(m_stateMutex);
        m_devicePreferencesITunesPrefsPath = folder;
    }
    {
        std::lock_guard lock(m_stateMutex);
        folder = m_devicePreferencesITunesPrefsPath;
    }
    if (!folder.isEmpty())
        removePreferenceUploadLeftovers(folder);
    const QString devicePrefs = folder + QLatin1Char('/') + kPrefsName;
    if (folder.isEmpty() || !fileExistsAtPath(devicePrefs))
        return false;

    const QString temporary = Locations::temporaryFolder();
    const QString saved = savedPreferencesFolderOfDevice();
    if (temporary.isEmpty() || saved.isEmpty() || !QDir().mkpath(saved))
        return false;
    const QString localPrefs = temporary + QLatin1Char('/') + kPrefsName;
    if (!copyFileFromDeviceAtToLocalPath(devicePrefs, localPrefs))
        return false;
    const QByteArray current = readWhole(localPrefs);
    // The working copy is not needed once read; the original is kept below.
    QFile::remove(localPrefs);
    if (current.isEmpty())
        return false;

    // A saved original from an earlier connection that was never put back
    // (the device left before the program ended) goes back now: when the
    // device still holds exactly what this program wrote, that original is
    // the file again. Any other file on the device is newer than the saved
    // original (another program or the device changed it meanwhile), so it
    // becomes the original and the older one is dropped.
    const qint64 operatingSystem = connectedDeviceOperatingSystem();
    const QString savedPrefs = saved + QLatin1Char('/') + kPrefsName;
    const QByteArray pending = readWhole(savedPrefs);
    QByteArray original = current;
    if (!pending.isEmpty() && current == changedITunesPreferences(pending, operatingSystem))
        original = pending;
    if (original != pending) {
        if (!writeSafely(savedPrefs, original) || readWhole(savedPrefs) != original) {
            qCWarning(lcOrvane) << "Could not save the device's iTunes preferences to" << savedPrefs;
            if (pending.isEmpty())
                QFile::remove(savedPrefs);
            return false;
        }
    }

    const QByteArray changed = changedITunesPreferences(original, operatingSystem);
    const QString localNew = temporary + QLatin1Char('/') + kPrefsName + QStringLiteral(".new");
    QFile::remove(localNew);
    if (!writeSafely(localNew, changed))
        return false;
    const bool uploaded = changed == current || uploadReplacing(localNew, devicePrefs);
    QFile::remove(localNew);
    if (!uploaded) {
        qCWarning(lcOrvane) << "Could not put the changed iTunes preferences on the device.";
        return false;
    }

    // "iTunesPrefs.plist" leaves the device for the connection, but only once
    // a verified copy of it is kept.
    const QString devicePlist = folder + QLatin1Char('/') + kPrefsPlistName;
    if (fileExistsAtPath(devicePlist)) {
        const QString savedPlist = saved + QLatin1Char('/') + kPrefsPlistName;
        const QString localPlist = temporary + QLatin1Char('/') + kPrefsPlistName + QStringLiteral(".copy");
        QFile::remove(localPlist);
        if (copyFileFromDeviceAtToLocalPath(devicePlist, localPlist)) {
            // The device's file is always the newest one: a copy saved at an
            // earlier connection is replaced by it.
            const QByteArray plist = readWhole(localPlist);
            const bool keptCopy = readWhole(savedPlist) == plist
                || (writeSafely(savedPlist, plist) && readWhole(savedPlist) == plist);
            if (keptCopy && !deletePath(devicePlist))
                qCWarning(lcOrvane) << "Could not remove iTunesPrefs.plist from the device.";
        }
        QFile::remove(localPlist);
    }
    return true;
}

void QELDeviceInterface::restoreITunesPreferences()
{
    // Only the device the saved files came from gets them back; without it
    // they wait for its next connection.
    if (!m_validDeviceConnected.load())
        return;
    const QString saved = savedPreferencesFolderOfDevice();
    if (saved.isEmpty())
        return;
    QString folder;
    {
        std::lock_guard lock(m_stateMutex);
        folder = m_devicePreferencesITunesPrefsPath;
    }
    if (folder.isEmpty()) {
        if (isDirectoryAtPath(QStringLiteral("/iTunes_Control/iTunes")))
            folder = QStringLiteral("/iTunes_Control/iTunes");
        else if (isDirectoryAtPath(QStringLiteral("/iPod_Control/iTunes")))
            folder = QStringLiteral("/iPod_Control/iTunes");
        else
            return;
    }
    // An original goes back only over what this program left there: a file
    // that changed since (or a plist that came back) is newer and stays.
    const QString temporary = Locations::temporaryFolder();
    const qint64 operatingSystem = connectedDeviceOperatingSystem();
    for (const QString& name : {kPrefsName, kPrefsPlistName}) {
        const QString savedFile = saved + QLatin1Char('/') + name;
        if (!QFileInfo::exists(savedFile))
            continue;
        const QString devicePath = folder + QLatin1Char('/') + name;
        bool ours = !fileExistsAtPath(devicePath);
        if (!ours && name == kPrefsName && !temporary.isEmpty()) {
            const QString local = temporary + QLatin1Char('/') + name + QStringLiteral(".current");
            QFile::remove(local);
            if (copyFileFromDeviceAtToLocalPath(devicePath, local)) {
                const QByteArray original = readWhole(savedFile);
                const QByteArray now = readWhole(local);
                ours = now == original || now == changedITunesPreferences(original, operatingSystem);
            }
            QFile::remove(local);
        }
        if (!ours) {
            qCInfo(lcOrvane) << "The device holds a newer" << name << "than the saved original; it stays.";
            QFile::remove(savedFile);
        } else if (uploadReplacing(savedFile, devicePath)) {
            QFile::remove(savedFile);
        } else {
            qCWarning(lcOrvane) << "Could not put back" << name << "on the device; the saved copy is kept.";
        }
    }
    QDir().rmdir(saved);
}
