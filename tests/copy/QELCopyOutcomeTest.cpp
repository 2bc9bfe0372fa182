#include <cerrno>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "AtomicFile.h"
#include "CopyFailure.h"
#include "QELCopy.h"
#include "QELCopyEndMessage.h"
#include "QELCopyOutcome.h"
#include "RecordingCopyDelegate.h"
#include "WaitUntil.h"

namespace {

// A job that writes one small file per item into its folder, as the exports
// do: "missing…" items are gone from the device, "skip…" items are left out by
// design, and "cancel" cancels the run while it is copied.
class WritingJob : public QELCopy {
public:
    void startCopy() override
    {
        QELCopy::startCopy();
        _startWorker([this] {
            const QString folder = baseCopyPath();
            if (!_destinationUsable(folder)) {
                _callAllItemsCopiedDelegate();
                return;
            }
            while (const std::optional<QVariant> item = _getNextItemFromQueue()) {
                const QString name = item->toString();
                if (name.startsWith(QLatin1String("missing"))) {
                    _itemCouldNotBeCopied(CopyFailure::MissingOnDevice);
                    continue;
                }
                if (name.startsWith(QLatin1String("skip"))) {
                    _itemsPassedOver(1, QStringLiteral("ePub books are not copied"));
                    continue;
                }
                if (name == QLatin1String("cancel")) {
                    // As a copy cut short in its middle tells it.
                    cancelCopy();
                    CopyFailures::note(CopyFailure::Cancelled);
                    continue;
                }
                if (!writeFileAtomically(folder + QLatin1Char('/') + name, QByteArray(64, 'x')))
                    _itemCouldNotBeCopied();
            }
            _callAllItemsCopiedDelegate();
        });
    }
};

class OutcomeDelegate : public RecordingCopyDelegate {
public:
    void OnAllItemsCopiedEventWithOutcome(int copyType, quint32 notCopied,
                                          const QELCopyOutcome& outcome) override
    {
        outcomes.push_back(outcome);
        RecordingCopyDelegate::OnAllItemsCopiedEventWithOutcome(copyType, notCopied, outcome);
    }
    std::vector<QELCopyOutcome> outcomes;
};

QVariantList names(const QStringList& list)
{
    QVariantList items;
    for (const QString& name : list)
        items.append(name);
    return items;
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

struct RunCase {
    const char* name;
    QStringList items;
    int injectedError;       // 0 for none
    qint64 bytesBeforeFault; // with an injected error
    QString title;
    QString detail;
    QStringList files;
};

TEST(CopyOutcome, EveryRunEndsWithWhatHappened)
{
    const QString all = QStringLiteral("All items have been copied.");
    const std::vector<RunCase> cases{
        {"all copied", {"a", "b", "c"}, 0, 0, all, QString(), {"a", "b", "c"}},
        {"one copied", {"a"}, 0, 0, all, QString(), {"a"}},
        {"one missing on the device",
         {"a", "missing", "b"},
         0,
         0,
         "2 of 3 items copied",
         "1 item could not be copied: the file is missing on the device",
         {"a", "b"}},
        {"the disk fills up after two",
         {"a", "b", "c", "d", "e"},
         ENOSPC,
         128,
         "The disk is full: 2 of 5 items copied",
         "3 items could not be copied: the disk is full",
         {"a", "b"}},
        {"a read-only folder copies nothing",
         {"a", "b"},
         EROFS,
         0,
         "0 of 2 items copied",
         "2 items could not be copied: the folder is read-only",
         {}},
        {"cancelled after one",
         {"a", "cancel", "b"},
         0,
         0,
         "Copy cancelled: 1 of 3 copied",
         QString(),
         {"a"}},
        {"books passed over",
         {"a", "skip 1", "skip 2"},
         0,
         0,
         "1 of 3 items copied",
         "2 items were not copied: ePub books are not copied",
         {"a"}},
    };
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        WritingJob job;
        OutcomeDelegate delegate;
        job.setDelegate(&delegate);
        job.setBaseCopyPath(dir.path());
        job.setItemQueue(names(c.items));
        {
            std::unique_ptr<CopyFailures::ScopedInjectedWriteFailure> fault;
            if (c.injectedError)
                fault = std::make_unique<CopyFailures::ScopedInjectedWriteFailure>(
                    c.injectedError, c.bytesBeforeFault);
            job.startCopy();
            ASSERT_TRUE(waitUntil([&] { return !delegate.outcomes.empty(); }));
        }
        const QELCopyOutcome& outcome = delegate.outcomes.back();
        EXPECT_EQ(QELCopyEndMessage::title(outcome, all), c.title);
        EXPECT_EQ(QELCopyEndMessage::detail(outcome), c.detail);
        // Nothing empty, partial or hidden is left beside the copies.
        EXPECT_EQ(entries(dir.path()), c.files);
    }
}

// A job that puts each item into a folder of its own, as the album and
// artist folders of the photo and music copies are made.
class FolderJob : public QELCopy {
public:
    void startCopy() override
    {
        QELCopy::startCopy();
        _startWorker([this] {
            const QString base = baseCopyPath();
            while (const std::optional<QVariant> item = _getNextItemFromQueue()) {
                const QString folder = base + QLatin1Char('/') + item->toString();
                if (!QDir().exists(folder) && QDir().mkpath(folder))
                    _madeFolder(folder);
                if (item->toString().startsWith(QLatin1String("missing")))
                    _itemCouldNotBeCopied(CopyFailure::MissingOnDevice);
                else
                    writeFileAtomically(folder + QStringLiteral("/file"), "x");
            }
            _callAllItemsCopiedDelegate();
        });
    }
};

TEST(CopyOutcome, FoldersTheRunMadeAndLeftEmptyGo)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.filePath("Mine")));
    FolderJob job;
    OutcomeDelegate delegate;
    job.setDelegate(&delegate);
    job.setBaseCopyPath(dir.path());
    job.setItemQueue(names({"missing 1", "Album", "missing 2", "Mine"}));
    job.startCopy();
    ASSERT_TRUE(waitUntil([&] { return delegate.outcomes.size() == 1; }));
    // A folder that was there already stays, and one with copies in it too.
    EXPECT_EQ(entries(dir.path()), (QStringList{"Album", "Mine"}));

    // A folder that went missing is told before the first item, not made.
    WritingJob writer;
    writer.setDelegate(&delegate);
    writer.setBaseCopyPath(dir.filePath("Unplugged/Stick"));
    writer.setItemQueue(names({"a", "b"}));
    writer.startCopy();
    ASSERT_TRUE(waitUntil([&] { return delegate.outcomes.size() == 2; }));
    EXPECT_EQ(QELCopyEndMessage::detail(delegate.outcomes.back()),
              "2 items could not be copied: the folder does not exist");
    EXPECT_EQ(writer.failedItemCount(), 2u);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("Unplugged")));
}

TEST(CopyEndMessage, CountedTextsUseTheirPluralForms)
{
    QELCopyOutcome one;
    one.itemCount = 1;
    one.failed = 1;
    one.firstFailure = CopyFailure::ReadOnlyFolder;
    EXPECT_EQ(QELCopyEndMessage::title(one, "All"), "0 of 1 item copied");
    EXPECT_EQ(QELCopyEndMessage::detail(one), "1 item could not be copied: the folder is read-only");
    QELCopyOutcome many = one;
    many.itemCount = 12;
    many.copied = 10;
    many.failed = 2;
    many.firstFailure = CopyFailure::Failed;
    EXPECT_EQ(QELCopyEndMessage::title(many, "All"), "10 of 12 items copied");
    EXPECT_EQ(QELCopyEndMessage::detail(many), "2 items could not be copied: a read or a write failed");
    QELCopyOutcome done;
    done.itemCount = 3;
    done.copied = 3;
    EXPECT_TRUE(done.complete());
    EXPECT_EQ(QELCopyEndMessage::title(done, "All"), "All");
    EXPECT_EQ(QELCopyEndMessage::detail(done), QString());
    QELCopyOutcome cancelled = done;
    cancelled.copied = 0;
    cancelled.cancelled = true;
    EXPECT_FALSE(cancelled.complete());
    EXPECT_EQ(QELCopyEndMessage::title(cancelled, "All"), "Copy cancelled: 0 of 3 copied");
}

} // namespace
