// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QELDeviceContentViewMediaPlaybackDelegate.h"
#include "QELPagedView.h"

class QELDeviceCategoryContentViewDelegate;
class QELDeviceInterface;

// The base of every category view: the control bar reaches the shown category
// through these requests, and the view reports to its delegate (the device
// content page). Main thread only.
//
// A subclass overrides the requests it answers and lists them in
// answeredRequests(); callers send a request only when the view answers it,
// so a view that has no cancel (or no back-up) is never asked for one. The
// base operations throw std::logic_error naming the operation, which flags a
// view that lists a request without overriding it.
class QELDeviceCategoryContentView : public QELPagedView,
                                     public QELDeviceContentViewMediaPlaybackDelegate {
    Q_OBJECT
public:
    enum Request {
        Copy = 0x1,
        CancelCopy = 0x2,
        Transfer = 0x4,
        BackUp = 0x8,
        Search = 0x10,
    };
    Q_DECLARE_FLAGS(Requests, Request)

    explicit QELDeviceCategoryContentView(const QRect& frame = QRect(), QWidget* parent = nullptr);

    // The requests this view answers; none in the base.
    virtual Requests answeredRequests() const { return {}; }
    bool answers(Request request) const { return answeredRequests().testFlag(request); }

    // Copy the selection to the computer.
    virtual void RequestCopy();
    // Cancel the running copy.
    virtual void RequestCancelCopy();
    // Transfer the selection into the computer's media library.
    virtual void RequestTransfer();
    // Back the whole library up into the computer's media library.
    virtual void RequestBackUp();
    // Filter the view by `text`; the empty text clears the filter.
    virtual void search(const QString& text);

    // Not owned: the content page, which outlives its views.
    QELDeviceCategoryContentViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(QELDeviceCategoryContentViewDelegate* delegate) { m_delegate = delegate; }
    // Not owned: the application's one device interface.
    QELDeviceInterface* deviceInterface() const { return m_deviceInterface; }
    void setDeviceInterface(QELDeviceInterface* deviceInterface)
    {
        m_deviceInterface = deviceInterface;
    }

    // The text every base operation throws: "You must override <operation> in
    // a subclass of QELDeviceCategoryContentView".
    static QString mustOverrideText(const char* operation);

private:
    QELDeviceCategoryContentViewDelegate* m_delegate = nullptr;
    QELDeviceInterface* m_deviceInterface = nullptr;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(QELDeviceCategoryContentView::Requests)
