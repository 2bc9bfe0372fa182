// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCopyBooks.h"

#include "LocalizedStrings.h"
#include "QELBookCopyRun.h"
#include "QELBookDetails.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELDeviceInterface.h"
#include "SafePath.h"

QELCopyBooks::QELCopyBooks(QObject* parent)
    : QELCopy(parent)
{
}

QELCopyBooks::~QELCopyBooks()
{
    cancelCopy();
    stopWorkers();
}

void QELCopyBooks::cancelCopy()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_run)
            m_run->cancel = true;
    }
    QELCopy::cancelCopy();
}

quint32 QELCopyBooks::skippedItemCount() const
{
    std::lock_guard lock(m_mutex);
    return m_run ? m_run->skipped.load() : 0;
}

void QELCopyBooks::startCopy()
{
    auto run = std::make_shared<QELBookCopyRun>();
    run->folder = baseCopyPath();
    {
        std::lock_guard lock(m_mutex);
        // The run this one replaces stops in the middle of its file.
        if (m_run)
            m_run->cancel = true;
        m_run = run;
    }
    QELCopy::startCopy();
    _startWorker([this, run] { _copyBooks(run); });
}

void QELCopyBooks::_copyBooks(const std::shared_ptr<QELBookCopyRun>& run)
{
    QELDeviceInterface* device = _deviceInterface;
    if (itemQueue().isEmpty() || !device || !_destinationUsable(run->folder)) {
        _callAllItemsCopiedDelegate();
        return;
    }
    // Numbered among this run's names only: a file of an earlier run is kept.
    SafePath::UniqueNamer namer(run->folder, SafePath::Numbering::Spaced,
                                SafePath::Taken::UsedThisRun);
    // The bar follows the books' bytes when the device gives every PDF's
    // size (one question a book: a library holds tens, not thousands); a
    // book that is a folder has none, and the bar counts items.
    QList<quint64> sizes;
    bool sized = true;
    for (const QVariant& queued : itemQueue()) {
        const auto book = queued.value<QELBookDetails>();
        // What is passed over (an ePub) weighs nothing.
        std::optional<qint64> size = 0;
        if (queued.metaType() == QMetaType::fromType<QELBookDetails>() && book.isPDFKind())
            size = device->fileSizeAtPath(book.path());
        sized = sized && size;
        sizes.append(size ? quint64(*size) : 0);
    }
    if (sized) {
        quint64 total = 0;
        for (quint64 size : std::as_const(sizes))
            total += size;
        _setRunByteCount(total);
    }
    while (const std::optional<QVariant> item = _getNextItemFromQueue()) {
        _setItemByteCount(sizes.value(qsizetype(itemNumber()) - 1));
        if (run->cancel)
            break;
        if (item->metaType() != QMetaType::fromType<QELBookDetails>())
            continue;
        const auto book = item->value<QELBookDetails>();
        if (!book.isPDFKind()) {
            _itemsPassedOver(1, L("EPUBBOOKSNOTCOPIED"));
            continue;
        }
        QELCopyItemBeginEventArgs args;
        args.setItemDescription(book.name());
        args.setSenderClass(typeid(QELCopyBooks));
        _callOnItemCopyBeginEventWith(args);

        QString target;
        switch (run->copyBook(*device, namer, book, QELBookCopyRun::deviceExtensionOf(book.path()),
                              QStringLiteral("pdf"), &target)) {
        case QELBookCopyRun::Outcome::Copied:
        case QELBookCopyRun::Outcome::Cancelled:
            break;
        case QELBookCopyRun::Outcome::Kept:
            ++run->skipped;
            break;
        case QELBookCopyRun::Outcome::Failed:
            _itemCouldNotBeCopied();
            break;
        }
    }
    _callAllItemsCopiedDelegate();
}
