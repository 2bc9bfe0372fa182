// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCopyVoiceMails.h"

#include <typeinfo>

#include <QFile>

#include "AtomicFile.h"
#include "BackupFileSource.h"
#include "CopyFailure.h"
#include "Log.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELVoiceMailItem.h"
#include "QELVoiceMailUtilities.h"
#include "SafePath.h"

namespace {

const QString kExtension = QStringLiteral("amr");

// Streams the audio copy into the open temporary file of the target.
AtomicFile::Producer copyOf(const QString& source)
{
    return [source](QIODevice& out, QString* error) {
        QFile in(source);
        if (!in.open(QIODevice::ReadOnly)) {
            *error = in.errorString();
            return false;
        }
        QByteArray block;
        while (!(block = in.read(1 << 20)).isEmpty()) {
            if (out.write(block) != block.size()) {
                *error = out.errorString();
                return false;
            }
        }
        if (in.error() != QFile::NoError) {
            *error = in.errorString();
            return false;
        }
        return true;
    };
}

} // namespace

QELCopyVoiceMails::QELCopyVoiceMails(QObject* parent)
    : QELCopy(parent)
{
}

QELCopyVoiceMails::~QELCopyVoiceMails() { stopWorkers(); }

std::shared_ptr<BackupFileSource> QELCopyVoiceMails::deviceBackUp() const
{
    std::lock_guard guard(m_mutex);
    return m_deviceBackUp;
}

void QELCopyVoiceMails::setDeviceBackUp(std::shared_ptr<BackupFileSource> backup)
{
    std::lock_guard guard(m_mutex);
    m_deviceBackUp = std::move(backup);
}

void QELCopyVoiceMails::setLocale(const QLocale& locale)
{
    std::lock_guard guard(m_mutex);
    m_locale = locale;
}

void QELCopyVoiceMails::startCopy()
{
    QELCopy::startCopy();
    std::shared_ptr<BackupFileSource> backup;
    QLocale locale;
    {
        std::lock_guard guard(m_mutex);
        backup = m_deviceBackUp;
        locale = m_locale;
    }
    if (!backup) {
        _callAllItemsCopiedDelegate();
        return;
    }
    _startWorker([this, backup, locale] { _copyVoiceMails(backup, locale); });
}

SafePath::UniqueNamer QELCopyVoiceMails::namerForRun(const QString& folder)
{
    SafePath::NameRules rules;
    rules.alsoReplace = QStringLiteral(":");
    rules.maxBytes = SafePath::kDefaultMaxBytes - int(kExtension.size()) - 1;
    // A recording of an earlier copy stays; the new one is numbered beside it.
    return SafePath::UniqueNamer(folder, SafePath::Numbering::Spaced, SafePath::Taken::Both, rules);
}

QELCopyVoiceMails::CopyResult QELCopyVoiceMails::copyVoiceMail(const QELVoiceMailItem& item,
                                                               BackupFileSource* backup,
                                                               SafePath::UniqueNamer& namer,
                                                               const QLocale& locale, QString* path,
                                                               QString* error)
{
    const QString audio = QELVoiceMailUtilities::getVoiceMailPathFromIdFromBackUp(item.id, backup);
    if (audio.isEmpty()) {
        if (error)
            *error = QStringLiteral("the backup has no audio for voicemail %1").arg(item.id);
        CopyFailures::note(CopyFailure::MissingOnDevice);
        return CopyResult::NoAudio;
    }
    const QString target =
        namer.claimPath(QELVoiceMailUtilities::copyNameStem(item.relationshipContact().senderName(),
                                                            item.dateRecorded, locale),
                        kExtension, QStringLiteral("Voicemail"));
    if (path)
        *path = target;
    QString why;
    bool written = false;
    if (target.isEmpty())
        why = QStringLiteral("no free file name");
    else if (!SafePath::isInside(namer.folder(), target))
        why = QStringLiteral("the name leads out of the folder");
    else
        written = writeFileAtomically(target, copyOf(audio), &why, item.dateRecorded);
    // The audio copy was made for this item alone.
    QFile::remove(audio);
    if (!written && error)
        *error = why;
    return written ? CopyResult::Copied : CopyResult::WriteFailed;
}

void QELCopyVoiceMails::_copyVoiceMails(std::shared_ptr<BackupFileSource> backup, QLocale locale)
{
    const QString folder = baseCopyPath();
    if (!_destinationUsable(folder)) {
        _callAllItemsCopiedDelegate();
        return;
    }
    SafePath::UniqueNamer namer = namerForRun(folder);
    while (const std::optional<QVariant> next = _getNextItemFromQueue()) {
        const QELVoiceMailItem item = next->value<QELVoiceMailItem>();
        QELCopyItemBeginEventArgs args;
        args.setItemDescription(item.relationshipContact().senderName());
        args.setSenderClass(typeid(QELCopyVoiceMails));
        _callOnItemCopyBeginEventWith(args);

        QString path;
        QString error;
        if (folder.isEmpty()
            || copyVoiceMail(item, backup.get(), namer, locale, &path, &error)
                != CopyResult::Copied) {
            qCWarning(lcOrvane).noquote() << "Voicemail" << item.id << "was not copied to"
                                          << (path.isEmpty() ? folder : path) << ":" << error;
            _itemCouldNotBeCopied();
        }
    }
    _callAllItemsCopiedDelegate();
}
