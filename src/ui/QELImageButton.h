// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>

// A round control-bar button drawn from two bundle images: its image, and the
// alternate image shown while it is pressed. A disabled button is drawn faded.
class QELImageButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit QELImageButton(QWidget* parent = nullptr);

    // Bundle image file names ("play.png"); each is loaded afresh when set.
    void setImage(const QString& fileName);
    void setAlternateImage(const QString& fileName);
    QString image() const { return m_image; }
    QString alternateImage() const { return m_alternateImage; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_image;
    QString m_alternateImage;
    QIcon m_imageIcon;
    QIcon m_alternateIcon;
};
