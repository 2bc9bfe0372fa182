#include "RecordingCopyDelegate.h"

#include <algorithm>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include "QELCopyItemBeginEventArgs.h"
#include "QELCopyItemEndEventArgs.h"

namespace {

bool onMainThread()
{
    return QCoreApplication::instance()
        && QThread::currentThread() == QCoreApplication::instance()->thread();
}

} // namespace

void RecordingCopyDelegate::OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args)
{
    Call call;
    call.kind = Call::Kind::ItemBegin;
    call.onMainThread = onMainThread();
    call.itemNumber = args.itemNumber();
    call.itemCount = args.itemCount();
    call.senderClass = args.senderClass();
    call.itemDescription = args.itemDescription();
    m_calls.record(call);
    recordBytes(args, false);
}

void RecordingCopyDelegate::OnItemCopyProgressEvent(const QELCopyItemBeginEventArgs& args)
{
    recordBytes(args, true);
}

void RecordingCopyDelegate::recordBytes(const QELCopyItemBeginEventArgs& args, bool progress)
{
    ByteStep step;
    step.progress = progress;
    step.onMainThread = onMainThread();
    step.itemNumber = args.itemNumber();
    step.itemCount = args.itemCount();
    step.bytesCopied = args.bytesCopied();
    step.byteCount = args.byteCount();
    m_bytes.record(step);
}

std::vector<RecordingCopyDelegate::ByteStep> RecordingCopyDelegate::progressSteps() const
{
    std::vector<ByteStep> steps = m_bytes.events();
    steps.erase(std::remove_if(steps.begin(), steps.end(),
                               [](const ByteStep& step) { return !step.progress; }),
                steps.end());
    return steps;
}

int RecordingCopyDelegate::expectBytesGrowTo(quint64 total, quint32 item, quint64 from,
                                             quint64 to) const
{
    const std::vector<ByteStep> steps = byteSteps();
    EXPECT_FALSE(steps.empty());
    quint64 last = 0;
    int inside = 0;
    for (const ByteStep& step : steps) {
        EXPECT_EQ(step.byteCount, total);
        EXPECT_GE(step.bytesCopied, last);
        last = step.bytesCopied;
        if (step.progress && step.itemNumber == item && step.bytesCopied > from
            && step.bytesCopied < to)
            ++inside;
    }
    if (!steps.empty()) {
        EXPECT_EQ(steps.back().bytesCopied, total);
    }
    return inside;
}

void RecordingCopyDelegate::OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args)
{
    Call call;
    call.kind = Call::Kind::ItemEnd;
    call.onMainThread = onMainThread();
    call.itemDescription = args.itemDescription();
    call.itemId = args.itemId();
    call.statusOK = args.statusOK();
    m_calls.record(call);
}

void RecordingCopyDelegate::OnAllItemsCopiedEventWithType(int copyType)
{
    Call call;
    call.kind = Call::Kind::AllItemsCopied;
    call.onMainThread = onMainThread();
    call.copyType = copyType;
    m_calls.record(call);
}

std::vector<RecordingCopyDelegate::Call> RecordingCopyDelegate::calls(Call::Kind kind) const
{
    std::vector<Call> matching;
    for (const Call& call : m_calls.events()) {
        if (call.kind == kind)
            matching.push_back(call);
    }
    return matching;
}

std::vector<int> RecordingCopyDelegate::copyTypes() const
{
    std::vector<int> types;
    for (const Call& call : allItemsCopied())
        types.push_back(call.copyType);
    return types;
}

QStringList RecordingCopyDelegate::order() const
{
    QStringList lines;
    for (const Call& call : m_calls.events()) {
        switch (call.kind) {
        case Call::Kind::ItemBegin:
            lines << QStringLiteral("begin ") + call.itemDescription;
            break;
        case Call::Kind::ItemEnd:
            lines << QStringLiteral("end ") + call.itemDescription;
            break;
        case Call::Kind::AllItemsCopied:
            lines << QStringLiteral("all done");
            break;
        }
    }
    return lines;
}

bool RecordingCopyDelegate::waitForAllItemsCopied(size_t runs,
                                                  std::chrono::milliseconds timeout) const
{
    return m_calls.waitFor(
        [runs](const std::vector<Call>& calls) {
            return size_t(std::count_if(
                       calls.begin(), calls.end(),
                       [](const Call& call) { return call.kind == Call::Kind::AllItemsCopied; }))
                >= runs;
        },
        timeout, EventRecorder<Call>::Wait::ProcessingQtEvents);
}
