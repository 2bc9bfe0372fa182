// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QWidget>

class QELNSImageViewDelegate;

// The photo viewer's picture, scaled to fit and centred; a double click goes
// to the delegate, single clicks do nothing. Main thread.
class QELNSImageView : public QWidget {
    Q_OBJECT
public:
    explicit QELNSImageView(QWidget* parent = nullptr);

    void setImage(const QImage& image);
    const QImage& image() const { return m_image; }

    // Not owned.
    QELNSImageViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(QELNSImageViewDelegate* delegate) { m_delegate = delegate; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage m_image;
    QELNSImageViewDelegate* m_delegate = nullptr;
};
