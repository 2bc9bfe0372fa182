#pragma once

#include <atomic>
#include <thread>

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QString>
#include <QTimer>
#include <QWidget>

class QPainter;

// The program's own progress bar: a rounded track, a rounded fill that follows
// the value with a glossy highlight and inner shadow, a text drawn in one colour
// over the empty part and another over the filled part, and an indeterminate
// mode with diagonal stripes moving along the bar. Setting a property does not
// redraw by itself; the owner calls update(). Main thread only.
class TSPProgressIndicator : public QWidget {
    Q_OBJECT
public:
    explicit TSPProgressIndicator(QWidget* parent = nullptr);
    ~TSPProgressIndicator() override;

    double doubleValue() const { return m_doubleValue; }
    void setDoubleValue(double value) { m_doubleValue = value; }
    double maxValue() const { return m_maxValue; }
    void setMaxValue(double value) { m_maxValue = value; }
    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius) { m_cornerRadius = radius; }
    float fontSize() const { return m_fontSize; }
    void setFontSize(float size) { m_fontSize = size; }
    float shadowBlur() const { return m_shadowBlur; }
    void setShadowBlur(float blur) { m_shadowBlur = blur; }
    bool isIndeterminate() const { return m_isIndeterminate; }
    void setIsIndeterminate(bool indeterminate);
    bool usesThreadedAnimation() const { return m_usesThreadedAnimation; }
    void setUsesThreadedAnimation(bool threaded) { m_usesThreadedAnimation = threaded; }
    QString progressText() const { return m_progressText; }
    void setProgressText(const QString& text) { m_progressText = text; }
    // Whether the bar draws its text itself; a bar whose stripes would make
    // it unreadable leaves it to a label beside it.
    void setDrawsProgressText(bool draws) { m_drawsProgressText = draws; }
    bool drawsProgressText() const { return m_drawsProgressText; }

    QColor progressHolderColor() const { return m_progressHolderColor; }
    void setProgressHolderColor(const QColor& c) { m_progressHolderColor = c; }
    QColor progressColor() const { return m_progressColor; }
    void setProgressColor(const QColor& c) { m_progressColor = c; }
    QColor backgroundTextColor() const { return m_backgroundTextColor; }
    void setBackgroundTextColor(const QColor& c) { m_backgroundTextColor = c; }
    QColor frontTextColor() const { return m_frontTextColor; }
    void setFrontTextColor(const QColor& c) { m_frontTextColor = c; }
    QColor shadowColor() const { return m_shadowColor; }
    void setShadowColor(const QColor& c) { m_shadowColor = c; }

    // 0 left, 1 right, anything else centre (stored as 2).
    void setProgressTextAlign(int position);
    int progressTextAlignt() const { return m_position; }

    // Starts or stops the stripe animation; starting does nothing while the
    // bar is not inside a shown window.
    void startAnimation();
    void stopAnimation();
    bool animationStarted() const { return m_animationStarted || m_animationThread.joinable(); }

    // One animation tick: the stripes move one point along, and the bar redraws.
    void drawIndeterminate();

    // Rebuilds the stripe tile and strip for the current size and colours.
    void makeIndeterminatePole();

    // Horizontal offset of a text of `textSize` inside `rect` for the alignment.
    float alignTextOnProgressFontSize(const QRectF& rect, const QSizeF& textSize) const;

    // The geometry of the last drawing, and the animation counter (for tests).
    QRectF indeterminateRect() const { return m_indeterminateRect; }
    QRectF lastFillRect() const { return m_lastFillRect; }
    int step() const { return m_step; }
    const QImage& stripeTile() const { return m_indeterminateImage2; }
    const QImage& stripeStrip() const { return m_indeterminateImage; }

    // Draws the whole bar for the rectangle `dirty` into `painter`.
    void drawRect(QPainter& painter, const QRectF& dirty);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void animateInBackgroundThread();
    QFont labelFont() const;
    void drawText(QPainter& painter, const QRectF& rect, const QColor& color);

    double m_doubleValue = 0;
    double m_maxValue = 100.0;
    double m_cornerRadius = 15.0;
    float m_fontSize = 11.0f;
    float m_shadowBlur = 4.0f;
    bool m_isIndeterminate = false;
    bool m_usesThreadedAnimation = false;
    QString m_progressText;
    bool m_drawsProgressText = true;
    QColor m_progressHolderColor;
    QColor m_progressColor;
    QColor m_backgroundTextColor;
    QColor m_frontTextColor;
    QColor m_shadowColor;
    int m_position = 2;

    QRectF m_indeterminateRect;
    QRectF m_lastFillRect;
    std::atomic<int> m_step{0};
    QTimer m_timer;
    std::thread m_animationThread;
    std::atomic<bool> m_stopThread{false};
    bool m_animationStarted = false;
    QImage m_indeterminateImage2;
    QImage m_indeterminateImage;
};
