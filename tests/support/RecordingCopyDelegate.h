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

    void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args) override;
    void OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) override;
    void OnAllItemsCopiedEventWithType(int copyType) override;

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
    EventRecorder<Call> m_calls;
};
