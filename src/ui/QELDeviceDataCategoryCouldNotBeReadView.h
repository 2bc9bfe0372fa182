// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QELPagedView.h"

class QLabel;

// The page laid over a backup-derived category whose data could not be read,
// so that a failed read never looks like a device without data.
class QELDeviceDataCategoryCouldNotBeReadView : public QELPagedView {
    Q_OBJECT
public:
    explicit QELDeviceDataCategoryCouldNotBeReadView(const QRect& frame = QRect(),
                                                     QWidget* parent = nullptr);

    QLabel* descriptionLabel() const { return m_descriptionLabel; }

private:
    QLabel* m_descriptionLabel = nullptr;
};
