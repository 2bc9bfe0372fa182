#pragma once

#include <QPixmap>

#include "QELPagedView.h"

namespace Ui {
class QELReadingDeviceView;
}
class QLabel;
class QPushButton;
class QELReadingDeviceViewDelegate;
class SpinnerIndicator;

// The page shown while a device is read: its picture, a heading naming its
// type, the current step, the playlist being read, and a cancel button.
class QELReadingDeviceView : public QELPagedView {
    Q_OBJECT
public:
    explicit QELReadingDeviceView(const QRect& frame = QRect(), QWidget* parent = nullptr);
    ~QELReadingDeviceView() override;

    QELReadingDeviceViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(QELReadingDeviceViewDelegate* delegate) { m_delegate = delegate; }

    // A new read begins: shows the picture and forgets an earlier cancel.
    void setDeviceImage(const QPixmap& image);
    void setDeviceTypeString(const QString& deviceType);
    void setProgressText(const QString& text);
    // Shows the cancel button with the first playlist of a read, unless cancelled.
    void setPlaylistName(const QString& name);
    void setCancelButtonHidding(bool hidden);
    void buttonCancelClicked();

    bool wasCancelled() const { return m_wasCancelled; }
    QLabel* readingDeviceTextField() const;
    SpinnerIndicator* progressBar() const;
    QLabel* currentStatusTextField() const;
    QLabel* deviceImageView() const;
    QLabel* playlistNameTextField() const;
    QPushButton* buttonCancel() const;

private:
    Ui::QELReadingDeviceView* m_ui;
    QELReadingDeviceViewDelegate* m_delegate = nullptr;
    bool m_wasCancelled = false;
};
