// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QELDeviceCategoryContentView.h"

// The view of the test-only sample category: it answers copy, cancel and
// search and records them.
class SampleCategoryView : public QELDeviceCategoryContentView {
    Q_OBJECT
public:
    SampleCategoryView(int viewType, const QRect& frame, QWidget* parent);

    int viewType() const { return m_viewType; }
    Requests answeredRequests() const override;
    void RequestCopy() override;
    void RequestCancelCopy() override;
    void search(const QString& text) override;

    QStringList calls;

private:
    int m_viewType;
};
