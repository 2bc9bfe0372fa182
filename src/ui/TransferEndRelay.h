// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include "QELCopyDelegate.h"

struct QELCopyOutcome;

// Hands a transfer job's events to its view, telling the transfer's end apart
// from the export's, so that the end message can say where the transfer put
// what it copied.
class TransferEndRelay : public QELCopyDelegate {
public:
    TransferEndRelay(QELCopyDelegate* view, std::function<void(const QELCopyOutcome&)> ended);

    void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args) override;
    void OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) override;
    void OnAllItemsCopiedEventWithType(int copyType) override;
    void OnAllItemsCopiedEventWithOutcome(int copyType, quint32 notCopied,
                                          const QELCopyOutcome& outcome) override;

private:
    QELCopyDelegate* m_view;
    std::function<void(const QELCopyOutcome&)> m_ended;
};
