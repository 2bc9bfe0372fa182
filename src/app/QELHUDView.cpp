#include "QELHUDView.h"

#include <algorithm>

#include <QBoxLayout>
#include <QCoreApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

#include "AppImages.h"
#include "ElidedLabel.h"
#include "LocalizedStrings.h"
#include "PlainText.h"
#include "QELHUDViewDelegate.h"
#include "QELMediaPlayerProgressEventArgs.h"
#include "ui_QELHUDView.h"

namespace {

constexpr qreal kCornerRadius = 10.0;
constexpr int kPageVerticalMargin = 6; // as the layout file has it
constexpr int kMaximumWidth = 760;
// The lines a message may take: its second line, where an end tells what went
// wrong, and its first when that makes it whole. The panel grows for them.
constexpr int kMessageLines = 4;
constexpr int kTitleLines = 2;
constexpr int kPanelHeight = 64;

QColor hudBackground() { return QColor::fromCmykF(0.06f, 0.04f, 0.17f, 0.0f, 1.0f); }
QColor hudBorder() { return QColor::fromRgbF(0.4f, 0.4f, 0.4f, 1.0f); }
QColor hudText() { return QColor(0x2e, 0x2b, 0x38); }
QColor barColor() { return QColor::fromCmykF(0.52f, 0.41f, 0.56f, 0.11f, 1.0f); }

void styleLine(QLabel* label, int pixelSize, bool bold, const QColor& color)
{
    QFont f = label->font();
    f.setPixelSize(pixelSize);
    f.setWeight(bold ? QFont::DemiBold : QFont::Normal);
    label->setFont(f);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    label->setTextFormat(Qt::PlainText);
    // Long names are cut at the panel's edge instead of widening the panel.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setMinimumWidth(0);
}

QString orEmpty(const QString& s) { return s.isNull() ? QStringLiteral("") : s; }

} // namespace

QELHUDView::QELHUDView(const QRect& frame, QWidget* parent)
    : QWidget(parent)
    , m_ui(new Ui::QELHUDView)
{
    m_ui->setupUi(this);
    setGeometry(frame);
    setAttribute(Qt::WA_TranslucentBackground);
    setMinimumSize(280, 56);
    // The panel grows with the window (up to a width that still reads as one
    // panel); a text too long for it is cut with its whole text as tool tip.
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    setMaximumWidth(kMaximumWidth);

    // The layout file holds the content view and the six pages side by side;
    // the pages are taken out and shown one at a time inside the content view.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(m_ui->view);
    m_pages = {m_ui->welcomeView,     m_ui->progressView, m_ui->playbackView,
               m_ui->informationView, m_ui->blankView,    m_ui->copyProgressView};
    for (QELPagedView* page : m_pages) {
        // Each page's lines sit together in the middle of the panel.
        if (auto* lines = qobject_cast<QBoxLayout*>(page->layout())) {
            lines->insertStretch(0, 1);
            lines->addStretch(1);
        }
        page->setParent(nullptr);
        page->setIsOpaque(false);
        page->setAttribute(Qt::WA_TranslucentBackground);
    }
    m_ui->welcomeView->addToSuperview(m_ui->view);
    m_ui->copyProgressProgressView->startAnimation();

    const QColor text = hudText();
    QColor secondary = text;
    secondary.setAlphaF(0.75f);
    styleLine(m_ui->welcomeTitle, 14, true, text);
    styleLine(m_ui->versionTextFeild, 11, false, secondary);
    styleLine(m_ui->informationTopLine, 13, true, text);
    styleLine(m_ui->informationBottomLine, 11, false, secondary);
    styleLine(m_ui->progressTopLine, 12, false, text);
    styleLine(m_ui->playbackTrackNameTextField, 12, true, text);
    styleLine(m_ui->playbackArtistTextField, 11, false, secondary);
    styleLine(m_ui->playbackTimePlayedTextField, 10, false, secondary);
    styleLine(m_ui->playbackTimeRemainingTextField, 10, false, secondary);
    styleLine(m_ui->copyProgressTopLine, 12, true, text);
    styleLine(m_ui->copyProgressBottomLine, 11, false, secondary);
    // The second line of a message is where an end tells what went wrong and
    // why: it wraps rather than hiding its end in a tool tip.
    m_ui->informationBottomLine->setMaximumLineCount(kMessageLines);
    for (QLabel* time : {m_ui->playbackTimePlayedTextField, m_ui->playbackTimeRemainingTextField}) {
        time->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
        time->setFixedWidth(time->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")) + 4);
    }
    m_ui->welcomeTitle->setText(L("WELCOME"));

    QPalette progressPalette = m_ui->progressProgressBar->palette();
    progressPalette.setColor(QPalette::Highlight, barColor());
    m_ui->progressProgressBar->setPalette(progressPalette);

    TSPProgressIndicator* playback = m_ui->playbackProgressBar;
    playback->setCornerRadius(3.0);
    playback->setProgressColor(barColor());
    playback->setProgressHolderColor(QColor::fromCmykF(0.25f, 0.16f, 0.31f, 0.0f, 1.0f));
    playback->setShadowColor(QColor::fromCmykF(0, 0, 0, 1.0f, 1.0f));
    playback->setShadowBlur(2.0f);

    TSPProgressIndicator* copy = m_ui->copyProgressProgressBar;
    copy->setProgressColor(barColor());
    copy->setCornerRadius(2.0);
    copy->setFontSize(10.0f);
    // Over the moving stripes the count could not be read: it stands beside
    // the bar.
    copy->setDrawsProgressText(false);
    styleLine(m_ui->copyProgressCount, 10, false, secondary);
    m_ui->copyProgressCount->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);

    m_ui->imageCancelButton->setIcon(AppImages::icon(QStringLiteral("hud-cancel")));
    m_ui->imageCancelButton->setToolTip(L("CANCELCOPY"));
    m_ui->imageCancelButton->setCursor(Qt::PointingHandCursor);
    connect(m_ui->imageCancelButton, &QToolButton::clicked, this,
            &QELHUDView::copyProgressCancelClicked);
    m_ui->cachingIndicator->setPixmap(
        AppImages::pixmap(QStringLiteral("hud-caching"), QSize(14, 14), this));
    m_ui->cachingIndicator->setToolTip(L("CACHING"));
    m_ui->cachingIndicator->hide();
    QSizePolicy keep = m_ui->cachingIndicator->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_ui->cachingIndicator->setSizePolicy(keep);

    const QString version = QCoreApplication::applicationVersion();
    if (!version.isEmpty())
        m_ui->versionTextFeild->setText(L("VERSION").arg(version));

    // The folder a finished copy went into, beside its message's first line,
    // which is short (how many items were copied): the second line, which
    // tells what went wrong, keeps the whole width to wrap in.
    m_showFolderButton = new QPushButton(L("SHOWFOLDER"), m_ui->informationView);
    m_showFolderButton->setObjectName(QStringLiteral("showFolderButton"));
    m_showFolderButton->setFlat(true);
    m_showFolderButton->setCursor(Qt::PointingHandCursor);
    QFont small = m_showFolderButton->font();
    small.setPixelSize(11);
    m_showFolderButton->setFont(small);
    m_showFolderButton->hide();
    if (auto* lines = qobject_cast<QBoxLayout*>(m_ui->informationView->layout())) {
        const int at = lines->indexOf(m_ui->informationTopLine);
        lines->removeWidget(m_ui->informationTopLine);
        auto* row = new QHBoxLayout;
        row->setSpacing(8);
        row->addWidget(m_ui->informationTopLine, 1);
        row->addWidget(m_showFolderButton, 0);
        lines->insertLayout(at, row);
    }
    connect(m_showFolderButton, &QPushButton::clicked, this, [this] {
        if (m_delegate && !m_shownFolder.isEmpty())
            m_delegate->OnShowFolderRequest(m_shownFolder);
    });
}

QELHUDView::~QELHUDView()
{
    // Pages off screen have no parent; the one on screen goes with the view.
    for (QELPagedView* page : m_pages) {
        if (!page->parentWidget())
            delete page;
    }
    delete m_ui;
}

void QELHUDView::fitInformationLines()
{
    QLayout* lines = m_ui->informationView->layout();
    if (!lines)
        return;
    ElidedLabel* top = m_ui->informationTopLine;
    ElidedLabel* bottom = m_ui->informationBottomLine;
    const QMargins margins = lines->contentsMargins();
    // The panel's own width (the content view inside its 1 px frame follows
    // it only after this resize).
    const int width = std::max(0, QWidget::width() - 2 - margins.left() - margins.right());
    // The first line wraps only when that shows it whole; cut either way, it
    // stays one line with its whole text as tool tip.
    const bool button = !m_showFolderButton->isHidden();
    const int topWidth = button ? width - m_showFolderButton->sizeHint().width() - 8 : width;
    top->setMaximumLineCount(kTitleLines);
    if (!top->showsWholeIn(topWidth))
        top->setMaximumLineCount(1);
    const int topHeight = top->linesHeightFor(topWidth);
    const int bottomHeight = bottom->linesHeightFor(width);
    const int topRowHeight =
        button ? std::max(topHeight, m_showFolderButton->sizeHint().height()) : topHeight;
    // A message of more than two lines takes the page's top and bottom
    // margins; a short one keeps them, so it sits where it always did.
    const bool tall = topHeight > top->fontMetrics().lineSpacing()
        || bottomHeight > bottom->fontMetrics().lineSpacing();
    const int vertical = tall ? 1 : kPageVerticalMargin;
    if (margins.top() != vertical)
        lines->setContentsMargins(margins.left(), vertical, margins.right(), vertical);
    // The HUD's own frame, the page's margins, the lines and their spacing.
    const int needed = 2 + 2 * vertical + topRowHeight + 1 + bottomHeight;
    setWantedHeight(currentPage() == m_ui->informationView ? std::max(kPanelHeight, needed)
                                                           : kPanelHeight);
}

void QELHUDView::setWantedHeight(int height)
{
    if (height == m_wantedHeight)
        return;
    m_wantedHeight = height;
    emit wantedHeightChanged(height);
}

void QELHUDView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    fitInformationLines();
}

void QELHUDView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25);
    QPainterPath shape;
    shape.addRoundedRect(bounds, kCornerRadius, kCornerRadius);
    painter.fillPath(shape, hudBackground());
    painter.setPen(QPen(hudBorder(), 0.5));
    painter.drawPath(shape);
}

void QELHUDView::showPage(QELPagedView* page)
{
    if (page != m_ui->informationView)
        setWantedHeight(kPanelHeight);
    if (page->parentWidget())
        return;
    page->setParent(m_ui->view);
    page->animateToFront();
}

QELPagedView* QELHUDView::currentPage() const
{
    for (QELPagedView* page : m_pages) {
        if (page->parentWidget() == m_ui->view)
            return page;
    }
    return nullptr;
}

void QELHUDView::setHUDInformationTopStringBottomString(const QString& top, const QString& bottom)
{
    m_shownFolder.clear();
    m_showFolderButton->hide();
    m_ui->informationTopLine->setText(orEmpty(top));
    m_ui->informationBottomLine->setText(orEmpty(bottom));
    showPage(m_ui->informationView);
    fitInformationLines();
}

void QELHUDView::setHUDProgressIntermittentWithText(const QString& text)
{
    // A range of 0 to 0 makes the platform's bar indeterminate and animated.
    m_ui->progressProgressBar->setRange(0, 0);
    m_ui->progressTopLine->setText(orEmpty(text));
    showPage(m_ui->progressView);
    m_ui->progressProgressBar->update();
}

void QELHUDView::setHUDProgressToOfMaximumWithText(int value, int maximum, const QString& text)
{
    // A maximum of 0 would turn the platform's bar indeterminate: keep it an empty bar.
    m_ui->progressProgressBar->setRange(0, std::max(1, maximum));
    m_ui->progressProgressBar->setValue(std::clamp(value, 0, std::max(1, maximum)));
    m_ui->progressTopLine->setText(orEmpty(text));
    showPage(m_ui->progressView);
    m_ui->progressProgressBar->update();
}

void QELHUDView::setHUDPlaybackProgress(const QELMediaPlayerProgressEventArgs& progress)
{
    if (m_ui->copyProgressView->parentWidget())
        return;
    TSPProgressIndicator* bar = m_ui->playbackProgressBar;
    bar->setMaxValue(static_cast<double>(progress.duration()));
    bar->setDoubleValue(static_cast<double>(progress.current()));
    if (!progress.trackName().isNull())
        m_ui->playbackTrackNameTextField->setText(progress.trackName());
    if (!progress.artist().isNull())
        m_ui->playbackArtistTextField->setText(progress.artist());
    if (!progress.timeCurrent().isNull())
        m_ui->playbackTimePlayedTextField->setText(progress.timeCurrent());
    if (!progress.timeRemaining().isNull())
        m_ui->playbackTimeRemainingTextField->setText(progress.timeRemaining());
    bar->update();
    showPage(m_ui->playbackView);
}

void QELHUDView::setCopyprogressWithTopLineBottomLineCurrentAndMaximum(const QString& topLine,
                                                                       const QString& bottomLine,
                                                                       int current, int maximum)
{
    setCopyProgressWithBytes(topLine, bottomLine, current, maximum, 0, 0);
}

void QELHUDView::setCopyProgressWithBytes(const QString& topLine, const QString& bottomLine,
                                          int current, int maximum, quint64 bytesCopied,
                                          quint64 byteCount)
{
    m_ui->copyProgressTopLine->setText(orEmpty(topLine));
    m_ui->copyProgressBottomLine->setText(orEmpty(bottomLine));
    TSPProgressIndicator* bar = m_ui->copyProgressProgressBar;
    // One large file among small ones moves the bar as much as it weighs.
    if (byteCount > 0) {
        bar->setMaxValue(static_cast<double>(byteCount));
        bar->setDoubleValue(static_cast<double>(std::min(bytesCopied, byteCount)));
    } else {
        bar->setMaxValue(maximum);
        bar->setDoubleValue(current);
    }
    bar->setProgressText(L("XOFY").arg(current).arg(maximum));
    m_ui->copyProgressCount->setText(bar->progressText());
    m_ui->copyProgressCount->show();
    bar->setIsIndeterminate(false);
    m_ui->imageCancelButton->show();
    bar->update();
    m_ui->copyProgressTopLine->update();
    m_ui->copyProgressBottomLine->update();
    showPage(m_ui->copyProgressView);
    m_ui->copyProgressView->resize();
}

void QELHUDView::copyProgressCancelClicked()
{
    m_ui->copyProgressTopLine->setText(L("PLEASEWAITSTOPPING"));
    m_ui->copyProgressBottomLine->setText(QString());
    TSPProgressIndicator* bar = m_ui->copyProgressProgressBar;
    bar->setIsIndeterminate(true);
    bar->startAnimation();
    m_ui->copyProgressCount->hide();
    m_ui->imageCancelButton->hide();
    if (m_delegate)
        m_delegate->OnUserCancelCopyEvent();
}

void QELHUDView::setPlaybackCaching(bool caching)
{
    m_ui->cachingIndicator->setVisible(caching);
    m_ui->cachingIndicator->update();
    m_ui->playbackView->update();
    if (QLayout* layout = m_ui->playbackView->layout())
        layout->activate();
}

void QELHUDView::setHUDInformationWithFolder(const QString& top, const QString& bottom,
                                             const QString& folder)
{
    setHUDInformationTopStringBottomString(top, bottom);
    m_shownFolder = folder;
    m_showFolderButton->setVisible(!folder.isEmpty());
    m_showFolderButton->setToolTip(PlainText::toolTip(folder));
    // The button takes part of the second line's width.
    fitInformationLines();
}

void QELHUDView::clearCategoryReports()
{
    // A running copy keeps its progress and its cancel button, and the player
    // its track: both go on whatever category is shown.
    QELPagedView* page = currentPage();
    if (page == m_ui->informationView || page == m_ui->progressView) {
        m_beforeTemporary.reset();
        clearHUD();
    }
}

void QELHUDView::clearHUD()
{
    setWantedHeight(kPanelHeight);
    // Brought to the front even when it is on screen already.
    if (!m_ui->blankView->parentWidget())
        m_ui->blankView->setParent(m_ui->view);
    m_ui->blankView->animateToFront();
}

void QELHUDView::showTemporaryInformation(const QString& top, const QString& bottom)
{
    const bool temporaryShown = m_beforeTemporary && currentPage() == m_ui->informationView
        && m_ui->informationTopLine->text() == m_temporaryTop
        && m_ui->informationBottomLine->text() == m_temporaryBottom;
    // A second message in a row replaces the first; what came before both is kept.
    if (!temporaryShown)
        m_beforeTemporary = SavedPage{currentPage(), m_ui->informationTopLine->text(),
                                      m_ui->informationBottomLine->text()};
    m_temporaryTop = orEmpty(top);
    m_temporaryBottom = orEmpty(bottom);
    setHUDInformationTopStringBottomString(top, bottom);
}

void QELHUDView::endTemporaryInformation()
{
    if (!m_beforeTemporary)
        return;
    const SavedPage before = *m_beforeTemporary;
    m_beforeTemporary.reset();
    if (currentPage() != m_ui->informationView || m_ui->informationTopLine->text() != m_temporaryTop
        || m_ui->informationBottomLine->text() != m_temporaryBottom)
        return;
    if (!before.page || before.page == m_ui->blankView)
        clearHUD();
    else if (before.page == m_ui->informationView)
        setHUDInformationTopStringBottomString(before.top, before.bottom);
    else
        showPage(before.page);
}

QWidget* QELHUDView::view() const { return m_ui->view; }
QELPagedView* QELHUDView::welcomeView() const { return m_ui->welcomeView; }
QELPagedView* QELHUDView::informationView() const { return m_ui->informationView; }
QELPagedView* QELHUDView::progressView() const { return m_ui->progressView; }
QELPagedView* QELHUDView::playbackView() const { return m_ui->playbackView; }
QELPagedView* QELHUDView::copyProgressView() const { return m_ui->copyProgressView; }
QELPagedView* QELHUDView::blankView() const { return m_ui->blankView; }
QLabel* QELHUDView::versionTextFeild() const { return m_ui->versionTextFeild; }
QLabel* QELHUDView::informationTopLine() const { return m_ui->informationTopLine; }
QLabel* QELHUDView::informationBottomLine() const { return m_ui->informationBottomLine; }
QProgressBar* QELHUDView::progressProgressBar() const { return m_ui->progressProgressBar; }
QLabel* QELHUDView::progressTopLine() const { return m_ui->progressTopLine; }
QLabel* QELHUDView::playbackTrackNameTextField() const { return m_ui->playbackTrackNameTextField; }
QLabel* QELHUDView::playbackArtistTextField() const { return m_ui->playbackArtistTextField; }
TSPProgressIndicator* QELHUDView::playbackProgressBar() const { return m_ui->playbackProgressBar; }
QLabel* QELHUDView::playbackTimePlayedTextField() const
{
    return m_ui->playbackTimePlayedTextField;
}
QLabel* QELHUDView::playbackTimeRemainingTextField() const
{
    return m_ui->playbackTimeRemainingTextField;
}
QELImageView* QELHUDView::cachingIndicator() const { return m_ui->cachingIndicator; }
QLabel* QELHUDView::copyProgressTopLine() const { return m_ui->copyProgressTopLine; }
QLabel* QELHUDView::copyProgressBottomLine() const { return m_ui->copyProgressBottomLine; }
QLabel* QELHUDView::copyProgressCount() const { return m_ui->copyProgressCount; }
TSPProgressIndicator* QELHUDView::copyProgressProgressBar() const
{
    return m_ui->copyProgressProgressBar;
}
SpinnerIndicator* QELHUDView::copyProgressProgressView() const
{
    return m_ui->copyProgressProgressView;
}
QToolButton* QELHUDView::imageCancelButton() const { return m_ui->imageCancelButton; }
