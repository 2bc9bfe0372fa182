// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELDeviceCategoryContentView.h"

#include <stdexcept>

QELDeviceCategoryContentView::QELDeviceCategoryContentView(const QRect& frame, QWidget* parent)
    : QELPagedView(frame, parent)
{
}

QString QELDeviceCategoryContentView::mustOverrideText(const char* operation)
{
    return QStringLiteral("You must override %1 in a subclass of QELDeviceCategoryContentView")
        .arg(QString::fromLatin1(operation));
}

namespace {
[[noreturn]] void mustOverride(const char* operation)
{
    throw std::logic_error(QELDeviceCategoryContentView::mustOverrideText(operation).toStdString());
}
} // namespace

void QELDeviceCategoryContentView::RequestCopy() { mustOverride("RequestCopy"); }
void QELDeviceCategoryContentView::RequestCancelCopy() { mustOverride("RequestCancelCopy"); }
void QELDeviceCategoryContentView::RequestTransfer() { mustOverride("RequestTransfer"); }
void QELDeviceCategoryContentView::RequestBackUp() { mustOverride("RequestBackUp"); }
void QELDeviceCategoryContentView::search(const QString&) { mustOverride("search:"); }
