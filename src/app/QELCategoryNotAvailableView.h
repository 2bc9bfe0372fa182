// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QELDeviceCategoryContentView.h"

class QLabel;

// The page of a category whose own view this version does not have yet: it
// names the category, says so, and answers no control-bar request.
class QELCategoryNotAvailableView : public QELDeviceCategoryContentView {
    Q_OBJECT
public:
    QELCategoryNotAvailableView(int viewType, const QString& categoryName, const QRect& frame = QRect(),
                                QWidget* parent = nullptr);

    int viewType() const { return m_viewType; }
    QLabel* titleLabel() const { return m_title; }
    QLabel* detailLabel() const { return m_detail; }

private:
    int m_viewType;
    QLabel* m_title;
    QLabel* m_detail;
};
