// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QtGlobal>

class QELAppDetailSummary;

// One pending icon request of the grid. Neither link keeps its object: the
// record belongs to the apps view's list, the item to the grid's current set
// of items (named by its number), and a request whose record or item is gone
// is dropped without asking the device.
struct QELAppSummaryForCollectionViewItem {
    std::weak_ptr<QELAppDetailSummary> appDetailSummary;
    quint64 collectionViewItem = 0;
};
