// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCopyNotes.h"

#include <QRegularExpression>

#include "AtomicFile.h"
#include "AtomicFileBatch.h"
#include "LocalizedStrings.h"
#include "Log.h"
#include "QELCopyItemBeginEventArgs.h"

namespace {

const QString kHtmlExtension = QStringLiteral("html");
const QString kTextExtension = QStringLiteral("txt");
// Room left in a name for " - Attachments" and a number.
constexpr int kRoomForFolderSuffix = 24;

QString shownTitle(const QELNoteDetail& note)
{
    const QString title = note.title().trimmed();
    return title.isEmpty() ? LocalizedStrings::text(QStringLiteral("UNTITLEDNOTE")) : note.title();
}

} // namespace

QELCopyNotes::QELCopyNotes(QObject* parent)
    : QELCopy(parent)
{
}

QELCopyNotes::~QELCopyNotes() { stopWorkers(); }

int QELCopyNotes::exportOptions() const
{
    std::lock_guard guard(m_mutex);
    return m_exportOptions;
}

void QELCopyNotes::setExportOptions(int options)
{
    std::lock_guard guard(m_mutex);
    m_exportOptions = options;
}

std::shared_ptr<QELNoteDatabaseReader> QELCopyNotes::databaseReader() const
{
    std::lock_guard guard(m_mutex);
    return m_databaseReader.lock();
}

void QELCopyNotes::setDatabaseReader(const std::shared_ptr<QELNoteDatabaseReader>& reader)
{
    std::lock_guard guard(m_mutex);
    m_databaseReader = reader;
}

void QELCopyNotes::setLocale(const QLocale& locale)
{
    std::lock_guard guard(m_mutex);
    m_locale = locale;
}

QVariant QELCopyNotes::itemForNote(const std::shared_ptr<QELNoteDetail>& note)
{
    return QVariant::fromValue(note);
}

QString QELCopyNotes::mediumDate(const QDateTime& date, const QLocale& locale)
{
    if (!date.isValid())
        return {};
    // The locale's long form without the weekday and with short month names.
    static const QRegularExpression kWeekday(QStringLiteral("dddd[,.]?\\s*"));
    QString format = locale.dateFormat(QLocale::LongFormat);
    format.remove(kWeekday);
    format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    return locale.toString(date.toLocalTime().date(), format.trimmed());
}

QString QELCopyNotes::baseNameForNote(const QELNoteDetail& note, int options, const QLocale& locale)
{
    const QString title = shownTitle(note);
    if (!(options & (kCreationDate | kModifiedDate)))
        return title;
    const QDateTime date = (options & kCreationDate) ? note.creationDate() : note.lastModified();
    const QString shown = mediumDate(date, locale);
    return shown.isEmpty() ? title : shown + QStringLiteral(" - ") + title;
}

SafePath::UniqueNamer QELCopyNotes::namerForRun(const QString& folder)
{
    SafePath::NameRules rules;
    rules.alsoReplace = QStringLiteral("\\?%:*|\"<>");
    rules.maxBytes = SafePath::kDefaultMaxBytes - kRoomForFolderSuffix;
    return SafePath::UniqueNamer(folder, SafePath::Numbering::Spaced, SafePath::Taken::Both, rules);
}

QELCopyNotes::Result QELCopyNotes::exportNote(QELNoteDetail& note, QELNoteDatabaseReader* reader,
                                              int options, SafePath::UniqueNamer& namer,
                                              const QLocale& locale, QString* path, QString* error)
{
    return exportNote(note, reader, nullptr, nullptr, options, namer, locale, path, error);
}

QELCopyNotes::Result QELCopyNotes::exportNote(QELNoteDetail& note, QELNoteDatabaseReader* reader,
                                              QELNoteDatabaseReader::MediaSession* session,
                                              AtomicFileBatch* files, int options,
                                              SafePath::UniqueNamer& namer, const QLocale& locale,
                                              QString* path, QString* error,
                                              int* attachmentsNotExported)
{
    if (attachmentsNotExported)
        *attachmentsNotExported = 0;
    if (note.passwordProtected()) {
        if (error)
            *error = QStringLiteral("the note is locked");
        return Result::Locked;
    }
    if (reader)
        reader->extractMediaInSession(note, session);
    const bool html = options & kHTML;
    const QString target = namer.claimPath(baseNameForNote(note, options, locale),
                                           html ? kHtmlExtension : kTextExtension,
                                           LocalizedStrings::text(QStringLiteral("UNTITLEDNOTE")));
    if (path)
        *path = target;
    if (target.isEmpty() || !SafePath::isInside(namer.folder(), target)) {
        if (error)
            *error = QStringLiteral("no free file name");
        return Result::WriteFailed;
    }
    const QString content = html
        ? note.htmlExportCounting(target, shownTitle(note), attachmentsNotExported, files)
        : note.plainTextRepresentation();
    QString why;
    if (!(files ? files->write(target, content.toUtf8(), &why, note.lastModified())
                : writeFileAtomically(target, content.toUtf8(), &why, note.lastModified()))) {
        if (error)
            *error = why;
        return Result::WriteFailed;
    }
    return Result::Written;
}

void QELCopyNotes::startCopy()
{
    QELCopy::startCopy();
    std::shared_ptr<QELNoteDatabaseReader> reader;
    int options = kHTML;
    QLocale locale;
    {
        std::lock_guard guard(m_mutex);
        reader = m_databaseReader.lock();
        options = m_exportOptions;
        locale = m_locale;
    }
    _startWorker([this, reader, options, locale] { _copyNotes(reader, options, locale); });
}

void QELCopyNotes::_copyNotes(std::shared_ptr<QELNoteDatabaseReader> reader, int options,
                              QLocale locale)
{
    // A run replaced by this one stops after the note it is writing.
    std::lock_guard run(m_runMutex);
    const QString folder = baseCopyPath();
    if (!_destinationUsable(folder)) {
        _callAllItemsCopiedDelegate();
        return;
    }
    SafePath::UniqueNamer namer = namerForRun(folder);
    // The store is opened once for the run, and the pages synced once at its end.
    const std::unique_ptr<QELNoteDatabaseReader::MediaSession> session =
        reader ? reader->openMediaSession() : nullptr;
    AtomicFileBatch files;
    while (const std::optional<QVariant> next = _getNextItemFromQueue()) {
        const auto note = next->value<std::shared_ptr<QELNoteDetail>>();
        if (!note) {
            _itemCouldNotBeCopied();
            continue;
        }
        QELCopyItemBeginEventArgs args;
        args.setItemDescription(note->title());
        args.setSenderClass(typeid(QELCopyNotes));
        _callOnItemCopyBeginEventWith(args);
        QString path;
        QString error;
        int attachmentsNotExported = 0;
        if (folder.isEmpty()
            || exportNote(*note, reader.get(), session.get(), &files, options, namer, locale, &path,
                          &error, &attachmentsNotExported)
                != Result::Written) {
            qCWarning(lcOrvane).noquote()
                << "A note was not copied to" << (path.isEmpty() ? folder : path) << ":" << error;
            _itemCouldNotBeCopied();
        }
        // The end message counts the attachments a written page could not carry too.
        if (attachmentsNotExported > 0)
            qCWarning(lcOrvane).noquote()
                << attachmentsNotExported << "attachments of a note could not be exported:" << path;
        for (int i = 0; i < attachmentsNotExported; ++i)
            _itemCouldNotBeCopied();
    }
    // What was written stays, also after a cancel.
    QString error;
    if (!files.commit(&error)) {
        qCWarning(lcOrvane).noquote() << "The exported notes could not be saved:" << error;
        const qsizetype placed = files.placedFiles().size();
        files.abandon();
        for (qsizetype i = 0; i < placed; ++i)
            _itemCouldNotBeCopied();
    }
    _callAllItemsCopiedDelegate();
}
