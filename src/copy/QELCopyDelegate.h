#pragma once

#include <QtGlobal>

class QELCopyItemBeginEventArgs;
class QELCopyItemEndEventArgs;
struct QELCopyOutcome;

// Receiver of a copy job's events; every category view that starts jobs is one.
class QELCopyDelegate {
public:
    virtual ~QELCopyDelegate() = default;

    // An item starts. On the main thread.
    virtual void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args) = 0;
    // More of the run's bytes were copied, inside the item `args` started:
    // its start event again with bytesCopied grown. Only from jobs that know
    // their sizes, at most about twenty times a second, never after a cancel.
    // On the main thread. A receiver that shows a start and a step alike
    // (a progress bar) gets OnItemCopyBeginEvent.
    virtual void OnItemCopyProgressEvent(const QELCopyItemBeginEventArgs& args)
    {
        OnItemCopyBeginEvent(args);
    }
    // An item ended (music jobs only). On the thread that copied the item.
    virtual void OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) = 0;
    // The run ended, finished or cancelled; `copyType` is 1 for the transfer of
    // tracks into the music library, 0 otherwise. On the main thread.
    virtual void OnAllItemsCopiedEventWithType(int copyType) = 0;
    // The same end, with the number of items that could not be copied; a
    // receiver that does not show that number gets OnAllItemsCopiedEventWithType.
    virtual void OnAllItemsCopiedEventWithTypeNotCopied(int copyType, quint32 notCopied)
    {
        (void)notCopied;
        OnAllItemsCopiedEventWithType(copyType);
    }
    // The same end with what the run did (QELCopyEndMessage makes its text);
    // a receiver that does not show it gets OnAllItemsCopiedEventWithTypeNotCopied.
    virtual void OnAllItemsCopiedEventWithOutcome(int copyType, quint32 notCopied,
                                                  const QELCopyOutcome& outcome)
    {
        (void)outcome;
        OnAllItemsCopiedEventWithTypeNotCopied(copyType, notCopied);
    }
};
