// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELTransferBooks.h"

#include <QFileInfo>

#include "Log.h"
#include "MediaLibraryHost.h"
#include "QELBookCopyRun.h"
#include "QELBookDetails.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELDeviceInterface.h"
#include "SafePath.h"

QELTransferBooks::QELTransferBooks(QObject* parent)
    : QELCopy(parent)
{
}

QELTransferBooks::~QELTransferBooks() { cancelCopy(); }

void QELTransferBooks::cancelCopy()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_run)
            m_run->cancel = true;
    }
    QELCopy::cancelCopy();
}

quint32 QELTransferBooks::skippedItemCount() const
{
    std::lock_guard lock(m_mutex);
    return m_run ? m_run->skipped.load() : 0;
}

QString QELTransferBooks::booksFolder()
{
    QString media = _getITunesLibraryPath();
    if (media.isEmpty()) {
        // No library yet: the host's own place for one.
        const QString music = mediaLibraryHost()->musicFolder();
        if (music.isEmpty())
            return {};
        media = music + QStringLiteral("/iTunes/iTunes Media");
    }
    // The library folder itself when no recent database names one.
    if (QFileInfo(media).fileName() != QLatin1String("iTunes Media"))
        media += QStringLiteral("/iTunes Media");
    return media + QStringLiteral("/Books");
}

void QELTransferBooks::startCopy()
{
    auto run = std::make_shared<QELBookCopyRun>();
    {
        std::lock_guard lock(m_mutex);
        if (m_run)
            m_run->cancel = true;
        m_run = run;
    }
    QELCopy::startCopy();
    _startWorker([this, run] { _transferBooks(run); });
}

void QELTransferBooks::_transferBooks(const std::shared_ptr<QELBookCopyRun>& run)
{
    QELDeviceInterface* device = _deviceInterface;
    if (itemQueue().isEmpty() || !device) {
        _callAllItemsCopiedDelegate();
        return;
    }
    // Looked for here, not on the main thread: finding the library reads
    // settings and folders.
    _initiateITunesApplication();
    _waitIfITUnesInterfaceBlocking();
    run->folder = booksFolder();
    const std::shared_ptr<MediaLibraryHost> host = mediaLibraryHost();
    SafePath::UniqueNamer namer(run->folder, SafePath::Numbering::Spaced,
                                SafePath::Taken::UsedThisRun);
    while (const std::optional<QVariant> item = _getNextItemFromQueue()) {
        if (run->cancel)
            break;
        if (item->metaType() != QMetaType::fromType<QELBookDetails>())
            continue;
        // A copy: the view's record keeps its kind.
        const auto book = item->value<QELBookDetails>();
        QELCopyItemBeginEventArgs args;
        args.setItemDescription(book.name());
        args.setSenderClass(typeid(QELTransferBooks));
        _callOnItemCopyBeginEventWith(args);

        if (!book.name().isEmpty() && host->holdsBookNamed(book.name())) {
            qCInfo(lcOrvane) << "The music library holds this book already:" << book.name();
            ++run->skipped;
            continue;
        }
        if (run->folder.isEmpty()) {
            qCWarning(lcOrvane) << "No music library folder to transfer the book into";
            _itemCouldNotBeCopied();
            continue;
        }
        // A PDF keeps its file's extension (a folder without one is named as
        // the copy to a folder names it); only a book of the ePub kind is "epub".
        const QString fileExtension = book.isPDFKind()
            ? QELBookCopyRun::deviceExtensionOf(book.path())
            : QStringLiteral("epub");
        const QString folderExtension =
            book.isPDFKind() && fileExtension.isEmpty() ? QStringLiteral("pdf") : fileExtension;
        QString target;
        switch (run->copyBook(*device, namer, book, fileExtension, folderExtension, &target)) {
        case QELBookCopyRun::Outcome::Copied:
            if (!host->add(target))
                _itemCouldNotBeCopied();
            break;
        case QELBookCopyRun::Outcome::Kept:
            // The earlier run's file is the book: the library gets it again.
            ++run->skipped;
            host->add(target);
            break;
        case QELBookCopyRun::Outcome::Cancelled:
            break;
        case QELBookCopyRun::Outcome::Failed:
            _itemCouldNotBeCopied();
            break;
        }
    }
    _callAllItemsCopiedDelegate();
}
