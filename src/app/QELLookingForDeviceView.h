#pragma once

#include <QTimer>

#include "QELPagedView.h"

namespace Ui {
class QELLookingForDeviceView;
}
class QFrame;
class QLabel;
class QPushButton;
class SpinnerIndicator;

// The page shown while no device is connected or while one is being paired:
// default instructions, or the passcode box, or the trust box, a spinner, and
// a help link that appears once the page has been on screen for 5 s.
class QELLookingForDeviceView : public QELPagedView {
    Q_OBJECT
public:
    explicit QELLookingForDeviceView(const QRect& frame = QRect(), QWidget* parent = nullptr);
    ~QELLookingForDeviceView() override;

    // The three boxes share one place; each call sets the visibility of all three.
    void showDefaultInstructions(bool show);
    void showEnterPasscodeBox(bool show);
    void showTrustDeviceBox(bool show);
    // The trust box saying that the user declined, with a button to ask the
    // device again (tryAgainClicked).
    void showTrustDeclinedBox(bool show);
    // Why the last device could not be connected, under the default
    // instructions; an empty text hides it.
    void setConnectionFailure(const QString& text);
    QLabel* connectionFailureNotice() const { return m_connectionFailureNotice; }
    QPushButton* tryAgainButton() const { return m_tryAgainButton; }
    // Whether the service that finds USB devices runs; when it does not, the
    // default instructions say in one line how to start it.
    void setDeviceServiceRunning(bool running);
    QLabel* deviceServiceNotice() const { return m_deviceServiceNotice; }

    QFrame* enterPasscodeBox() const;
    QFrame* defaultInstructionsBox() const;
    QFrame* untrustedDeviceBox() const;
    SpinnerIndicator* progressBar() const;
    QLabel* clickForHelpTextField() const;
    const QTimer& helpDisplayTimer() const { return m_helpDisplayTimer; }

    // The help link's target (from the string table).
    static QString helpUrl();

signals:
    void tryAgainClicked();

protected:
    bool event(QEvent* event) override;

private:
    void viewDidMoveToWindow();
    void _timerDisplayHelpFired();

    Ui::QELLookingForDeviceView* m_ui;
    QTimer m_helpDisplayTimer;
    QLabel* m_deviceServiceNotice = nullptr;
    QLabel* m_connectionFailureNotice = nullptr;
    QPushButton* m_tryAgainButton = nullptr;
};
