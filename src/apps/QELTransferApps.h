// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QELCopy.h"

// Transfer into the music library: each app (a QELAppDetailSummary item) is
// archived on the device, copied into "<library>/iTunes Media/Mobile
// Applications" as "<name>.ipa" and added to the library through its host. An
// older file of that name is replaced only once the new archive has arrived
// whole; a failed archive or copy keeps it.
class QELTransferApps : public QELCopy {
    Q_OBJECT
public:
    explicit QELTransferApps(QObject* parent = nullptr);
    ~QELTransferApps() override;

    void startCopy() override;

    // The folder the apps go into; empty when no library folder is known.
    QString mobileApplicationsFolder();

private:
    void _copyApps(const QString& folder);
};
