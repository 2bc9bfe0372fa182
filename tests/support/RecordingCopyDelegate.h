#pragma once

#include <typeindex>
#include <vector>

#include <QString>
#include <QStringList>

#include "EventRecorder.h"
#include "QELCopyDelegate.h"

// Records every call a copy job makes on its delegate, with the thread it came
// on, in arrival order; the calls come on the main thread and on the job's
// workers. Tests wait for them through the recorder.
class RecordingCopyDelegate : public QELCopyDelegate {
public:
    struct Call {
        enum class Kind { ItemBegin, ItemEnd, AllItemsCopied };
        Kind kind = Kind::ItemBegin;
        bool onMainThread = false;
        // ItemBegin
        quint32 itemNumber = 0;
        quint32 itemCount = 0;
        std::type_index senderClass = typeid(void);
        // ItemBegin and ItemEnd
        QString itemDescription;
        // ItemEnd
        QString itemId;
        bool statusOK = false;
        // AllItemsCopied
        int copyType = -1;
    };
    // What an item's start or a progress event said of the run's bytes, kept
    // apart from the calls so that tests of the order of starts and ends see
    // no progress events.
    struct ByteStep {
        bool progress = false; // a progress event; false: an item's start
        bool onMainThread = false;
        quint32 itemNumber = 0;
        quint32 itemCount = 0;
        quint64 bytesCopied = 0;
        quint64 byteCount = 0;
    };

    void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args) override;
    void OnItemCopyProgressEvent(const QELCopyItemBeginEventArgs& args) override;
    void OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) override;
    void OnAllItemsCopiedEventWithType(int copyType) override;

    // Every start and progress event, in arrival order.
    std::vector<ByteStep> byteSteps() const { return m_bytes.events(); }
    // The progress events alone.
    std::vector<ByteStep> progressSteps() const;
    // Expects every start and progress event to count the run's `total`
    // bytes, the bytes copied only to grow, and the last event to be at
    // `total`; answers how many progress events of item `item` fell strictly
    // between `from` and `to` (the item's own bytes).
    int expectBytesGrowTo(quint64 total, quint32 item, quint64 from, quint64 to) const;

    std::vector<Call> calls() const { return m_calls.events(); }
    std::vector<Call> calls(Call::Kind kind) const;
    std::vector<Call> begins() const { return calls(Call::Kind::ItemBegin); }
    std::vector<Call> ends() const { return calls(Call::Kind::ItemEnd); }
    std::vector<Call> allItemsCopied() const { return calls(Call::Kind::AllItemsCopied); }
    // The copy type of each reported end of a run.
    std::vector<int> copyTypes() const;
    // "begin <description>", "end <description>", "all done", one per call.
    QStringList order() const;
    // Waits until the run's end has been reported `runs` times. With Qt events
    // handled meanwhile: the end comes through the main thread's event loop.
    bool waitForAllItemsCopied(size_t runs = 1,
                               std::chrono::milliseconds timeout = kTestWaitLimit) const;

    const EventRecorder<Call>& recorder() const { return m_calls; }

private:
    void recordBytes(const QELCopyItemBeginEventArgs& args, bool progress);

    EventRecorder<Call> m_calls;
    EventRecorder<ByteStep> m_bytes;
};
