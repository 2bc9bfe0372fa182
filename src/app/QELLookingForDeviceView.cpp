#include "QELLookingForDeviceView.h"

#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QUrl>

#include "AppImages.h"
#include "Clock.h"
#include "LocalizedStrings.h"
#include "SpinnerIndicator.h"
#include "ui_QELLookingForDeviceView.h"

namespace {
constexpr int kHelpDelayMs = 5000;
const QSize kBoxImageSize(96, 96);

void styleTitle(QLabel* label)
{
    QFont f = label->font();
    f.setPixelSize(22);
    f.setWeight(QFont::DemiBold);
    label->setFont(f);
}

void styleDetail(QLabel* label)
{
    QFont f = label->font();
    f.setPixelSize(14);
    label->setFont(f);
    label->setStyleSheet(QStringLiteral("color: #555b66;"));
    // A fixed width lets the wrapped text take the height it needs.
    label->setFixedWidth(520);
    label->setMinimumHeight(QFontMetrics(f)
                                .boundingRect(QRect(0, 0, 520, 1000),
                                              Qt::TextWordWrap | Qt::AlignHCenter, label->text())
                                .height());
}
} // namespace

QELLookingForDeviceView::QELLookingForDeviceView(const QRect& frame, QWidget* parent)
    : QELPagedView(frame, parent)
    , m_ui(new Ui::QELLookingForDeviceView)
{
    auto* top = new QWidget;
    m_ui->setupUi(top);
    setView(top);

    m_ui->defaultImage->setPixmap(
        AppImages::pixmap(QStringLiteral("device-connect"), kBoxImageSize, this));
    m_ui->passcodeImage->setPixmap(
        AppImages::pixmap(QStringLiteral("device-passcode"), kBoxImageSize, this));
    m_ui->trustImage->setPixmap(
        AppImages::pixmap(QStringLiteral("device-trust"), kBoxImageSize, this));
    m_ui->defaultTitle->setText(L("LOOKINGFORDEVICE"));
    m_ui->defaultDetail->setText(L("LOOKINGFORDEVICEDETAIL"));
    m_ui->passcodeTitle->setText(L("ENTERPASSCODE"));
    m_ui->passcodeDetail->setText(L("ENTERPASSCODEDETAIL"));
    m_ui->trustTitle->setText(L("TRUSTDEVICE"));
    m_ui->trustDetail->setText(L("TRUSTDEVICEDETAIL"));
    for (QLabel* title : {m_ui->defaultTitle, m_ui->passcodeTitle, m_ui->trustTitle})
        styleTitle(title);
    for (QLabel* detail : {m_ui->defaultDetail, m_ui->passcodeDetail, m_ui->trustDetail}) {
        styleDetail(detail);
        detail->parentWidget()->layout()->setAlignment(detail, Qt::AlignHCenter);
    }

    m_deviceServiceNotice = new QLabel(L("DEVICESERVICENOTRUNNING"), m_ui->defaultInstructionsBox);
    m_deviceServiceNotice->setObjectName(QStringLiteral("deviceServiceNotice"));
    m_deviceServiceNotice->setAlignment(Qt::AlignCenter);
    m_deviceServiceNotice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_deviceServiceNotice->setStyleSheet(QStringLiteral("color: #8a5a00;"));
    m_deviceServiceNotice->hide();
    m_ui->defaultInstructionsBox->layout()->addWidget(m_deviceServiceNotice);

    m_connectionFailureNotice = new QLabel(m_ui->defaultInstructionsBox);
    m_connectionFailureNotice->setObjectName(QStringLiteral("connectionFailureNotice"));
    m_connectionFailureNotice->setAlignment(Qt::AlignCenter);
    m_connectionFailureNotice->setWordWrap(true);
    m_connectionFailureNotice->setStyleSheet(QStringLiteral("color: #8a5a00;"));
    m_connectionFailureNotice->hide();
    m_ui->defaultInstructionsBox->layout()->addWidget(m_connectionFailureNotice);

    m_tryAgainButton = new QPushButton(L("TRYAGAIN"), m_ui->untrustedDeviceBox);
    m_tryAgainButton->setObjectName(QStringLiteral("tryAgainButton"));
    m_tryAgainButton->hide();
    m_ui->untrustedDeviceBox->layout()->addWidget(m_tryAgainButton);
    m_ui->untrustedDeviceBox->layout()->setAlignment(m_tryAgainButton, Qt::AlignHCenter);
    connect(m_tryAgainButton, &QPushButton::clicked, this,
            &QELLookingForDeviceView::tryAgainClicked);

    m_ui->progressBar->startAnimation();
    setIsOpaque(true);

    // The help link: centred, clickable, opened in the user's browser.
    const QString text = QStringLiteral("Click here for help connecting your device to Orvane");
    m_ui->clickForHelpTextField->setTextFormat(Qt::RichText);
    m_ui->clickForHelpTextField->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                                             .arg(helpUrl().toHtmlEscaped(), text.toHtmlEscaped()));
    m_ui->clickForHelpTextField->setAlignment(Qt::AlignCenter);
    m_ui->clickForHelpTextField->update();

    showDefaultInstructions(true);

    m_helpDisplayTimer.setSingleShot(true);
    connect(&m_helpDisplayTimer, &QTimer::timeout, this,
            &QELLookingForDeviceView::_timerDisplayHelpFired);
    viewDidMoveToWindow();
}

QELLookingForDeviceView::~QELLookingForDeviceView() { delete m_ui; }

QString QELLookingForDeviceView::helpUrl()
{
    return QUrl(L("HELPNODEVICEURL")).toString(QUrl::FullyEncoded);
}

QFrame* QELLookingForDeviceView::enterPasscodeBox() const { return m_ui->enterPasscodeBox; }
QFrame* QELLookingForDeviceView::defaultInstructionsBox() const
{
    return m_ui->defaultInstructionsBox;
}
QFrame* QELLookingForDeviceView::untrustedDeviceBox() const { return m_ui->untrustedDeviceBox; }
SpinnerIndicator* QELLookingForDeviceView::progressBar() const { return m_ui->progressBar; }
QLabel* QELLookingForDeviceView::clickForHelpTextField() const
{
    return m_ui->clickForHelpTextField;
}

bool QELLookingForDeviceView::event(QEvent* event)
{
    const bool result = QELPagedView::event(event);
    // Entering or leaving a window restarts the countdown of the help link.
    if (event->type() == QEvent::ParentChange)
        viewDidMoveToWindow();
    return result;
}

void QELLookingForDeviceView::viewDidMoveToWindow()
{
    m_helpDisplayTimer.stop();
    // Hidden but still taking its place, so the page does not jump when it appears.
    QSizePolicy policy = m_ui->clickForHelpTextField->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    m_ui->clickForHelpTextField->setSizePolicy(policy);
    m_ui->clickForHelpTextField->hide();
    m_helpDisplayTimer.start(Clock::scaledMs(kHelpDelayMs));
}

void QELLookingForDeviceView::_timerDisplayHelpFired() { m_ui->clickForHelpTextField->show(); }

void QELLookingForDeviceView::showDefaultInstructions(bool show)
{
    m_ui->defaultInstructionsBox->setHidden(!show);
    m_ui->enterPasscodeBox->setHidden(true);
    m_ui->untrustedDeviceBox->setHidden(true);
}

void QELLookingForDeviceView::setDeviceServiceRunning(bool running)
{
    m_deviceServiceNotice->setHidden(running);
}

void QELLookingForDeviceView::showEnterPasscodeBox(bool show)
{
    m_ui->defaultInstructionsBox->setHidden(show);
    m_ui->enterPasscodeBox->setHidden(!show);
    m_ui->untrustedDeviceBox->setHidden(true);
}

void QELLookingForDeviceView::showTrustDeviceBox(bool show)
{
    m_ui->trustTitle->setText(L("TRUSTDEVICE"));
    m_ui->trustDetail->setText(L("TRUSTDEVICEDETAIL"));
    m_tryAgainButton->hide();
    m_ui->defaultInstructionsBox->setHidden(show);
    m_ui->enterPasscodeBox->setHidden(true);
    m_ui->untrustedDeviceBox->setHidden(!show);
}

void QELLookingForDeviceView::showTrustDeclinedBox(bool show)
{
    showTrustDeviceBox(show);
    if (!show)
        return;
    m_ui->trustTitle->setText(L("TRUSTDECLINED"));
    m_ui->trustDetail->setText(L("TRUSTDECLINEDDETAIL"));
    m_tryAgainButton->show();
}

void QELLookingForDeviceView::setConnectionFailure(const QString& text)
{
    m_connectionFailureNotice->setText(text);
    m_connectionFailureNotice->setHidden(text.isEmpty());
}
