// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

#include "QELCallLogEntryDetail.h"
#include "QELCopy.h"

// Saves calls (QELCallLogEntryDetail items) as one call log page in the
// destination folder: "<name>.html" when every call is of one participant,
// else "Call Logs.html". An older file of that name is replaced only once
// the new page is complete; a run replaced by a newer one writes nothing.
// The end of the run counts every call of a page that could not be written.
class QELCopyCallLogs : public QELCopy {
    Q_OBJECT
public:
    explicit QELCopyCallLogs(QObject* parent = nullptr);
    ~QELCopyCallLogs() override;

    // Starts the run on a worker thread.
    void startCopy() override;

    // The page's file name for these calls: the participant's name made safe
    // for a file name (or "Call Logs" when nothing of it is usable), or
    // "Call Logs" for calls of several names; with ".html".
    static QString fileNameForCalls(const QList<QELCallLogEntryDetail>& calls);
    // Writes the page of `calls` into `folder` under that name, through a
    // temporary file renamed over an older one. False, with the reason in
    // `error`, when it could not be written; `path` gets the file's path.
    // Blocking: worker threads (tools call it from their main thread).
    static bool writePage(const QString& folder, const QList<QELCallLogEntryDetail>& calls,
                          QString* path = nullptr, QString* error = nullptr);

private:
    void _copyCallLogs();
};
