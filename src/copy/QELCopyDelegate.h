#pragma once

#include <QtGlobal>

class QELCopyItemBeginEventArgs;
class QELCopyItemEndEventArgs;

// Receiver of a copy job's events; every category view that starts jobs is one.
class QELCopyDelegate {
public:
    virtual ~QELCopyDelegate() = default;

    // An item starts. On the main thread.
    virtual void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args) = 0;
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
};
