#include "QELReadingDeviceView.h"

#include "AppImages.h"
#include "LocalizedStrings.h"
#include "QELReadingDeviceViewDelegate.h"
#include "SpinnerIndicator.h"
#include "ui_QELReadingDeviceView.h"

QELReadingDeviceView::QELReadingDeviceView(const QRect& frame, QWidget* parent)
    : QELPagedView(frame, parent)
    , m_ui(new Ui::QELReadingDeviceView)
{
    auto* top = new QWidget;
    m_ui->setupUi(top);
    setView(top);

    QFont heading = m_ui->readingDeviceTextField->font();
    heading.setPixelSize(22);
    heading.setWeight(QFont::DemiBold);
    m_ui->readingDeviceTextField->setFont(heading);
    QFont status = m_ui->currentStatusTextField->font();
    status.setPixelSize(14);
    m_ui->currentStatusTextField->setFont(status);
    m_ui->currentStatusTextField->setStyleSheet(QStringLiteral("color: #3c4656;"));
    QFont playlist = m_ui->playlistNameTextField->font();
    playlist.setPixelSize(13);
    m_ui->playlistNameTextField->setFont(playlist);
    m_ui->playlistNameTextField->setStyleSheet(QStringLiteral("color: #6b7280;"));
    for (QLabel* line : {m_ui->readingDeviceTextField, m_ui->currentStatusTextField, m_ui->playlistNameTextField}) {
        line->setMinimumWidth(360);
        line->setTextFormat(Qt::PlainText);
    }
    // An empty playlist line keeps its place, so the button does not jump.
    QSizePolicy keep = m_ui->buttonCancel->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_ui->buttonCancel->setSizePolicy(keep);
    m_ui->playlistNameTextField->setMinimumHeight(m_ui->playlistNameTextField->fontMetrics().height());
    m_ui->buttonCancel->setText(L("CANCEL"));
    m_ui->buttonCancel->hide();
    m_ui->deviceImageView->setPixmap(AppImages::pixmap(QStringLiteral("device-generic"), QSize(128, 128), this));
    connect(m_ui->buttonCancel, &QPushButton::clicked, this, &QELReadingDeviceView::buttonCancelClicked);

    m_ui->progressBar->startAnimation();
    setIsOpaque(true);
}

QELReadingDeviceView::~QELReadingDeviceView()
{
    delete m_ui;
}

QLabel* QELReadingDeviceView::readingDeviceTextField() const { return m_ui->readingDeviceTextField; }
SpinnerIndicator* QELReadingDeviceView::progressBar() const { return m_ui->progressBar; }
QLabel* QELReadingDeviceView::currentStatusTextField() const { return m_ui->currentStatusTextField; }
QLabel* QELReadingDeviceView::deviceImageView() const { return m_ui->deviceImageView; }
QLabel* QELReadingDeviceView::playlistNameTextField() const { return m_ui->playlistNameTextField; }
QPushButton* QELReadingDeviceView::buttonCancel() const { return m_ui->buttonCancel; }

void QELReadingDeviceView::setDeviceImage(const QPixmap& image)
{
    QPixmap fitted = image;
    const QSize box = m_ui->deviceImageView->maximumSize();
    if (!fitted.isNull() && (fitted.deviceIndependentSize().width() > box.width()
                                || fitted.deviceIndependentSize().height() > box.height())) {
        const qreal ratio = devicePixelRatioF();
        fitted = fitted.scaled(box * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        fitted.setDevicePixelRatio(ratio);
    }
    m_ui->deviceImageView->setPixmap(fitted);
    m_wasCancelled = false;
}

void QELReadingDeviceView::setDeviceTypeString(const QString& deviceType)
{
    m_ui->readingDeviceTextField->setText(L("READINGDEVICE").arg(deviceType));
}

void QELReadingDeviceView::setProgressText(const QString& text)
{
    m_ui->currentStatusTextField->setText(text);
}

void QELReadingDeviceView::setPlaylistName(const QString& name)
{
    if (m_ui->buttonCancel->isHidden() && !m_wasCancelled)
        m_ui->buttonCancel->show();
    m_ui->playlistNameTextField->setText(name);
}

void QELReadingDeviceView::setCancelButtonHidding(bool hidden)
{
    m_ui->buttonCancel->setHidden(hidden);
    if (!hidden)
        m_wasCancelled = false;
}

void QELReadingDeviceView::buttonCancelClicked()
{
    if (!m_delegate)
        return;
    m_delegate->OnReadingDeviceViewCancelRequest();
    m_ui->buttonCancel->hide();
    m_ui->playlistNameTextField->clear();
    m_ui->currentStatusTextField->setText(L("CANCELINGREADINGDEVICE"));
    m_wasCancelled = true;
}
