// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELVoiceMailUtilities.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "BackupFileSource.h"
#include "Locations.h"
#include "Log.h"
#include "QELCallLogHTMLGenerator.h"
#include "SafePath.h"
#include "ThreadCheck.h"

QString QELVoiceMailUtilities::relativeAudioPath(qint64 id)
{
    return QStringLiteral("Library/Voicemail/%1.amr").arg(id);
}

QString QELVoiceMailUtilities::getVoiceMailPathFromIdFromBackUp(qint64 id, BackupFileSource* backup)
{
    assertNotOnGuiThread();
    if (!backup)
        return {};
    const QString answer = backup->GetPathForDeviceFileNameInDomain(relativeAudioPath(id),
                                                                    QStringLiteral("HomeDomain"));
    if (answer.isEmpty() || !QFileInfo(answer).isFile())
        return {};
    const QFileInfo info(answer);
    const QString temporary = Locations::temporaryFolder();
    const bool ours = !temporary.isEmpty() && SafePath::isInside(temporary, answer);
    if (ours && info.suffix().compare(QStringLiteral("amr"), Qt::CaseInsensitive) == 0)
        return answer;

    // Named after the answer, in its folder when it is ours, else in a
    // private folder of our own.
    QString folder = info.absolutePath();
    if (!ours) {
        folder = Locations::makeScratchFolder(QStringLiteral("voicemail"));
        if (folder.isEmpty())
            return {};
    }
    SafePath::UniqueNamer namer(folder, SafePath::Numbering::Spaced, SafePath::Taken::InFolder);
    const QString target =
        namer.claimPath(info.fileName(), QStringLiteral("amr"), QString::number(id));
    if (target.isEmpty())
        return {};
    const bool done = ours ? QFile::rename(answer, target) : QFile::copy(answer, target);
    if (!done) {
        qCWarning(lcOrvane).noquote() << "Voicemail: the audio copy could not be named" << target;
        return {};
    }
    return target;
}

QString QELVoiceMailUtilities::copyNameStem(const QString& senderName,
                                            const QDateTime& dateRecorded, const QLocale& locale)
{
    const QString date = QELCallLogHTMLGenerator::formattedDate(dateRecorded, locale, std::nullopt);
    return date.isEmpty() ? senderName : senderName + QLatin1Char(' ') + date;
}
