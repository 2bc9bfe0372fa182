// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCameraView.h"

#include <QLabel>
#include <QVBoxLayout>

#include "QELDeviceCategoryContentViewDelegate.h"
#include "QELDeviceInterface.h"

QELCameraView::QELCameraView(const QRect& frame, QWidget* parent)
    : QELDeviceCategoryContentView(frame, parent)
{
    setObjectName(QStringLiteral("QELCameraView"));
    auto* top = new QWidget;
    new QVBoxLayout(top);
    setView(top);
}

QELCameraView::~QELCameraView() { m_workers.stopAndJoinAll(); }

void QELCameraView::loadPhotos()
{
    QELDeviceInterface* device = deviceInterface();
    m_workers.start([this, device] {
        if (device && device->connectedDeviceOperatingSystem() == 1)
            (void)device->fileExistsAtPath(QStringLiteral("/PhotoData/Photos.sqlite"));
        QMetaObject::invokeMethod(
            this, [this] { _workerLibraryLoaded(); }, Qt::QueuedConnection);
    });
}

void QELCameraView::RequestCopy()
{
    if (delegate())
        delegate()->OnInformationStatusEventBottomLine(QStringLiteral("Message from Camera..."),
                                                       QStringLiteral("Copy requested."));
}

void QELCameraView::RequestTransfer()
{
    if (delegate())
        delegate()->OnInformationStatusEventBottomLine(QStringLiteral("Message from Camera..."),
                                                       QStringLiteral("Transfer requested."));
}
