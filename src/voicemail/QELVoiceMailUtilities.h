// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

class BackupFileSource;

// Where a voicemail's audio comes from, and the name its copy gets.
class QELVoiceMailUtilities {
public:
    // "Library/Voicemail/<id>.amr", the audio's path in HomeDomain.
    static QString relativeAudioPath(qint64 id);

    // A local copy of voicemail `id`'s audio, named "….amr" so that a player
    // knows its kind; null when the backup has none or it could not be
    // named. The source's answer is already a private copy: it is renamed
    // (to a free name beside it) only when it is not called "….amr" yet, and
    // a file outside the temporary folder is copied, never moved. Each call
    // asks the source anew. Blocking: worker threads.
    static QString getVoiceMailPathFromIdFromBackUp(qint64 id, BackupFileSource* backup);

    // The stem of a copy's file name: the sender's name and the date in the
    // locale's medium date and short time ("Ann Lee 3 May 2023 15:56"); the
    // name alone for a voicemail without a date.
    static QString copyNameStem(const QString& senderName, const QDateTime& dateRecorded,
                                const QLocale& locale = QLocale());
};
