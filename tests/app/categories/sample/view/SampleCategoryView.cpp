// SPDX-License-Identifier: GPL-3.0-or-later
#include "SampleCategoryView.h"

SampleCategoryView::SampleCategoryView(int viewType, const QRect& frame, QWidget* parent)
    : QELDeviceCategoryContentView(frame, parent)
    , m_viewType(viewType)
{
    setObjectName(QStringLiteral("sampleCategoryView"));
}

QELDeviceCategoryContentView::Requests SampleCategoryView::answeredRequests() const
{
    return Copy | CancelCopy | Search;
}

void SampleCategoryView::RequestCopy() { calls << QStringLiteral("copy"); }

void SampleCategoryView::RequestCancelCopy() { calls << QStringLiteral("cancel"); }

void SampleCategoryView::search(const QString& text) { calls << QStringLiteral("search:") + text; }
