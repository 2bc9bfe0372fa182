// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QELCopy.h"

class QString;

// Copy to the computer: each app (a QELAppDetailSummary item) is archived on
// the device and its archive copied into the destination folder as
// "<name>.ipa", the name made safe and numbered within a run ("Notes.ipa",
// "Notes 1.ipa"). A file of an earlier run is kept and the app counted as not
// copied. The archive is removed from the device after each app.
class QELCopyApps : public QELCopy {
    Q_OBJECT
public:
    explicit QELCopyApps(QObject* parent = nullptr);
    ~QELCopyApps() override;

    // Starts the run on a worker thread.
    void startCopy() override;

    // The device path of an app's archive; empty for an identifier that is
    // not a plain name.
    static QString archivePathOf(const QString& bundleId);

private:
    void _copyApps(const QString& folder);
};
