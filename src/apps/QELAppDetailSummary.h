// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QMetaType>
#include <QString>

// One app of the apps category: what the view lists, the grid shows and the
// copy jobs take (as a copy, so a job never shares a record with the view).
class QELAppDetailSummary {
public:
    QELAppDetailSummary() = default;
    QELAppDetailSummary(QString bundleName, QString bundleID, QString bundleVersion = {})
        : m_bundleName(std::move(bundleName))
        , m_bundleID(std::move(bundleID))
        , m_bundleVersion(std::move(bundleVersion))
    {
    }

    // The display name as the device gave it (may be empty).
    QString bundleName() const { return m_bundleName; }
    void setBundleName(const QString& name) { m_bundleName = name; }
    QImage bundleIcon() const { return m_bundleIcon; }
    void setBundleIcon(const QImage& icon) { m_bundleIcon = icon; }
    // Empty for an app the device's details did not describe.
    QString bundleID() const { return m_bundleID; }
    void setBundleID(const QString& id) { m_bundleID = id; }
    QString bundleVersion() const { return m_bundleVersion; }
    void setBundleVersion(const QString& version) { m_bundleVersion = version; }

    // The name of the app's archive file: the name made safe (the identifier
    // when the name gives none), numbered by the caller when taken.
    static QString archiveFileStem(const QELAppDetailSummary& app);

private:
    QString m_bundleName;
    QImage m_bundleIcon;
    QString m_bundleID;
    QString m_bundleVersion;
};

Q_DECLARE_METATYPE(QELAppDetailSummary)
