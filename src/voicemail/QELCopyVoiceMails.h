// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QLocale>
#include <QString>

#include "QELCopy.h"
#include "SafePath.h"

class BackupFileSource;
struct QELVoiceMailItem;

// Copies voicemails' audio (QELVoiceMailItem items) into the destination
// folder as "<sender name> <medium date, short time>.amr", made safe for a
// file name ("/" and ":" replaced). Names repeated within a run are numbered
// ("… 15_56.amr", "… 15_56 1.amr"); a file of an earlier run is replaced by
// renaming the complete new file over it, never deleted first. A voicemail
// whose audio the backup lacks, or whose file could not be written, counts as
// not copied.
class QELCopyVoiceMails : public QELCopy {
    Q_OBJECT
public:
    explicit QELCopyVoiceMails(QObject* parent = nullptr);
    ~QELCopyVoiceMails() override;

    // Shared with the view, which reads the same backup.
    std::shared_ptr<BackupFileSource> deviceBackUp() const;
    void setDeviceBackUp(std::shared_ptr<BackupFileSource> backup);

    // The locale of the dates in file names (the user's by default).
    void setLocale(const QLocale& locale);

    // Without a backup the run ends at once; otherwise it runs on a worker.
    void startCopy() override;

    // The namer of one run into `folder`: only the run's own names count as
    // taken, so an older copy of a name is replaced while two voicemails of
    // one minute are both kept.
    static SafePath::UniqueNamer namerForRun(const QString& folder);
    enum class CopyResult { Copied, NoAudio, WriteFailed };
    // Copies one voicemail's audio from `backup` into the namer's folder;
    // `path` gets the file's path. Blocking: worker threads (tools call it
    // from their main thread).
    static CopyResult copyVoiceMail(const QELVoiceMailItem& item, BackupFileSource* backup,
                                    SafePath::UniqueNamer& namer, const QLocale& locale,
                                    QString* path = nullptr, QString* error = nullptr);

private:
    void _copyVoiceMails(std::shared_ptr<BackupFileSource> backup, QLocale locale);

    mutable std::mutex m_mutex; // guards the members below
    std::shared_ptr<BackupFileSource> m_deviceBackUp;
    QLocale m_locale;
};
