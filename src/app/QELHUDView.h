#pragma once

#include <array>
#include <optional>

#include <QWidget>

namespace Ui {
class QELHUDView;
}
class QELHUDViewDelegate;
class QELImageView;
class QELMediaPlayerProgressEventArgs;
class QELPagedView;
class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;
class SpinnerIndicator;
class TSPProgressIndicator;

// The status panel of the main window. It shows one page at a time: welcome
// (with the version), a two-line message, a progress bar with a line of text,
// the preview player's progress, the copy progress with its cancel button, or
// nothing. A new page slides in from the left. While the copy progress is on
// screen, playback updates are ignored. Main thread only.
class QELHUDView : public QWidget {
    Q_OBJECT
public:
    explicit QELHUDView(const QRect& frame = QRect(0, 0, 460, 64), QWidget* parent = nullptr);
    ~QELHUDView() override;

    QELHUDViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(QELHUDViewDelegate* delegate) { m_delegate = delegate; }

    // A null string shows as an empty line.
    void setHUDInformationTopStringBottomString(const QString& top, const QString& bottom);
    // The message of a copy that went into `folder`, with a button that shows it.
    void setHUDInformationWithFolder(const QString& top, const QString& bottom,
                                     const QString& folder);
    // Another category is shown: its messages and load progress no longer
    // apply and go; a copy's progress and the player's stay.
    void clearCategoryReports();
    void setHUDProgressIntermittentWithText(const QString& text);
    void setHUDProgressToOfMaximumWithText(int value, int maximum, const QString& text);
    void setHUDPlaybackProgress(const QELMediaPlayerProgressEventArgs& progress);
    void setCopyprogressWithTopLineBottomLineCurrentAndMaximum(const QString& topLine,
                                                               const QString& bottomLine,
                                                               int current, int maximum);
    // The same for a copy that knows its sizes: the bar shows `bytesCopied` of
    // `byteCount` while its text still counts items; a byteCount of 0 makes
    // the bar count items too.
    void setCopyProgressWithBytes(const QString& topLine, const QString& bottomLine, int current,
                                  int maximum, quint64 bytesCopied, quint64 byteCount);
    void copyProgressCancelClicked();
    void setPlaybackCaching(bool caching);
    void clearHUD();
    // Shows a message for as long as something else (a window) is open, then
    // endTemporaryInformation puts back what was on the panel before, unless
    // a newer report has taken the panel meanwhile.
    void showTemporaryInformation(const QString& top, const QString& bottom);
    void endTemporaryInformation();

    // The page on screen and the pages and controls of the layout file.
    QELPagedView* currentPage() const;
    QWidget* view() const;
    QELPagedView* welcomeView() const;
    QELPagedView* informationView() const;
    QELPagedView* progressView() const;
    QELPagedView* playbackView() const;
    QELPagedView* copyProgressView() const;
    QELPagedView* blankView() const;
    QLabel* versionTextFeild() const;
    QLabel* informationTopLine() const;
    QLabel* informationBottomLine() const;
    QProgressBar* progressProgressBar() const;
    QLabel* progressTopLine() const;
    QLabel* playbackTrackNameTextField() const;
    QLabel* playbackArtistTextField() const;
    TSPProgressIndicator* playbackProgressBar() const;
    QLabel* playbackTimePlayedTextField() const;
    QLabel* playbackTimeRemainingTextField() const;
    QELImageView* cachingIndicator() const;
    QLabel* copyProgressTopLine() const;
    QLabel* copyProgressBottomLine() const;
    QLabel* copyProgressCount() const;
    TSPProgressIndicator* copyProgressProgressBar() const;
    SpinnerIndicator* copyProgressProgressView() const;
    QToolButton* imageCancelButton() const;
    QPushButton* showFolderButton() const { return m_showFolderButton; }

    // The height the panel needs for what it shows: 64, more for a message
    // whose lines wrap. The control bar holding it follows.
    int wantedHeight() const { return m_wantedHeight; }

signals:
    void wantedHeightChanged(int height);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void showPage(QELPagedView* page);
    // Makes room in the message page for a second line that wraps.
    void fitInformationLines();
    void setWantedHeight(int height);

    // What the panel showed before a temporary message.
    struct SavedPage {
        QELPagedView* page = nullptr;
        QString top;
        QString bottom;
    };

    Ui::QELHUDView* m_ui;
    std::optional<SavedPage> m_beforeTemporary;
    QString m_temporaryTop;
    QString m_temporaryBottom;
    std::array<QELPagedView*, 6> m_pages{};
    QELHUDViewDelegate* m_delegate = nullptr;
    QPushButton* m_showFolderButton = nullptr;
    QString m_shownFolder;
    int m_wantedHeight = 64;
};
