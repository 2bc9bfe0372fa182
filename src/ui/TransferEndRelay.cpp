// SPDX-License-Identifier: GPL-3.0-or-later
#include "TransferEndRelay.h"

#include <utility>

#include "QELCopyOutcome.h"

TransferEndRelay::TransferEndRelay(QELCopyDelegate* view,
                                   std::function<void(const QELCopyOutcome&)> ended)
    : m_view(view)
    , m_ended(std::move(ended))
{
}

void TransferEndRelay::OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args)
{
    m_view->OnItemCopyBeginEvent(args);
}

void TransferEndRelay::OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args)
{
    m_view->OnItemCopyEndEvent(args);
}

void TransferEndRelay::OnAllItemsCopiedEventWithType(int) { m_ended(QELCopyOutcome()); }

void TransferEndRelay::OnAllItemsCopiedEventWithOutcome(int, quint32, const QELCopyOutcome& outcome)
{
    m_ended(outcome);
}
