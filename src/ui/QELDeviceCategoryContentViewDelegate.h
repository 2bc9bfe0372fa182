// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

struct QELCopyOutcome;

// The events of a category view, received by the device content page and
// passed on to the application delegate. Main thread unless a view says
// otherwise; the content page passes them on the thread they arrive on.
class QELDeviceCategoryContentViewDelegate {
public:
    virtual ~QELDeviceCategoryContentViewDelegate() = default;

    // Progress of a load or another long step.
    virtual void OnProgressEventCurrentValueMaximumValue(const QString& text, double current,
                                                         double maximum) = 0;
    // A two-line status message.
    virtual void OnInformationStatusEventBottomLine(const QString& topLine,
                                                    const QString& bottomLine) = 0;
    // The media list shown changed.
    virtual void OnMediaViewChanged() = 0;
    // The user asked to play the selection.
    virtual void OnMediaSelectionPlayRequested() = 0;
    // Progress of a copy: item `current` of `maximum`.
    virtual void OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(
        const QString& title, const QString& description, int current, int maximum) = 0;
    // The same with the run's bytes, `bytesCopied` of `byteCount`, for a
    // copy that knows its sizes (0: it does not, and counts items). A
    // receiver without a bar that follows bytes gets the item counts alone.
    virtual void OnCopyProgressEventWithBytes(const QString& title, const QString& description,
                                              int current, int maximum, quint64 bytesCopied,
                                              quint64 byteCount)
    {
        (void)bytesCopied;
        (void)byteCount;
        OnCopyProgressEventWithTitleDescriptionCurrentValueAndMaximumValue(title, description,
                                                                           current, maximum);
    }
    // More bytes of the item whose start came last, as they are copied (at
    // most about twenty times a second). A receiver that shows no bytes has
    // nothing new in them.
    virtual void OnCopyBytesProgressEvent(const QString& title, const QString& description,
                                          int current, int maximum, quint64 bytesCopied,
                                          quint64 byteCount)
    {
        (void)title;
        (void)description;
        (void)current;
        (void)maximum;
        (void)bytesCopied;
        (void)byteCount;
    }
    // A copy into a folder of the computer has ended: its message, and the
    // folder the status panel offers to show. A receiver without that button
    // shows the message alone.
    virtual void OnCopyEndedInFolder(const QString& topLine, const QString& bottomLine,
                                     const QString& folder)
    {
        (void)folder;
        OnInformationStatusEventBottomLine(topLine, bottomLine);
    }
    // Clear the progress display.
    virtual void OnClear() = 0;
    // A copy job of the given copy type has finished.
    virtual void OnAllItemsCopiedEventWithType(int copyType) = 0;
    // The same end, with the number of items that could not be copied; a
    // receiver that does not show that number gets OnAllItemsCopiedEventWithType.
    virtual void OnAllItemsCopiedEventWithTypeNotCopied(int copyType, quint32 notCopied)
    {
        (void)notCopied;
        OnAllItemsCopiedEventWithType(copyType);
    }
    // The same end with what the run did; a receiver that does not show it
    // gets OnAllItemsCopiedEventWithTypeNotCopied.
    virtual void OnAllItemsCopiedEventWithOutcome(int copyType, quint32 notCopied,
                                                  const QELCopyOutcome& outcome)
    {
        (void)outcome;
        OnAllItemsCopiedEventWithTypeNotCopied(copyType, notCopied);
    }
};
