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

    // The text an app's archive file is named from: its name, which the naming
    // rule of every copy makes safe ("../x" gives "___x", nothing hidden).
    static QString archiveFileText(const QELAppDetailSummary& app);
    // The list order of the apps category: by name, as the names compare
    // code unit by code unit (an app without a name first).
    static bool nameOrder(const QELAppDetailSummary& a, const QELAppDetailSummary& b);

private:
    QString m_bundleName;
    QImage m_bundleIcon;
    QString m_bundleID;
    QString m_bundleVersion;
};

Q_DECLARE_METATYPE(QELAppDetailSummary)
