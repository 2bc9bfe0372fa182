#pragma once

#include <QTimer>
#include <QWidget>

// A small spinning activity mark (the platform's spinning progress indicator).
class SpinnerIndicator : public QWidget {
    Q_OBJECT
public:
    explicit SpinnerIndicator(QWidget* parent = nullptr);

    void startAnimation();
    void stopAnimation();
    bool isSpinning() const { return m_timer.isActive(); }

    QSize sizeHint() const override { return {24, 24}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer m_timer;
    int m_angle = 0;
};
