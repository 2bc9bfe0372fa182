// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QELDeviceCategoryContentView.h"
#include "WorkerThreads.h"

// A category view without content, made by the content page on request only.
// Its load asks an iOS device whether it has a photo library and does
// nothing with the answer; copy and transfer only say that they were asked.
// Main thread.
class QELCameraView : public QELDeviceCategoryContentView {
    Q_OBJECT
public:
    explicit QELCameraView(const QRect& frame = QRect(), QWidget* parent = nullptr);
    ~QELCameraView() override;

    Requests answeredRequests() const override { return Copy | Transfer | Search; }

    void loadPhotos();
    void RequestCopy() override;
    void RequestTransfer() override;
    void search(const QString& text) override { (void)text; }

    // Whether a load has come back (tests).
    int loadsCompleted() const { return m_loadsCompleted; }

private:
    void _workerLibraryLoaded() { ++m_loadsCompleted; }

    int m_loadsCompleted = 0;
    WorkerThreads m_workers{QStringLiteral("The camera view's load")};
};
