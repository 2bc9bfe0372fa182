// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>
#include <QStringList>

// A label that cuts its text with "…" where it does not fit, and then offers
// the whole text as its tool tip. text() stays the whole text.
//
// It shows one line unless given more (setMaximumLineCount): the text then
// wraps at word boundaries onto as many lines as it needs up to that number,
// only the last of them cut, and the label asks its layout for the height of
// the lines it takes at its width.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    int maximumLineCount() const { return m_maximumLines; }
    void setMaximumLineCount(int lines);

    // The text as it is drawn at the label's present width, its lines joined
    // with "\n".
    QString shownText() const;
    // The lines drawn at the present width.
    QStringList shownLines() const;
    bool isElided() const;
    // Whether the whole text shows in `width` pixels on the lines it may take.
    bool showsWholeIn(int width) const { return !linesFor(width).elided; }
    // The height of the lines the text takes in `width` pixels.
    int linesHeightFor(int width) const;

    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct Lines {
        QStringList lines;
        bool elided = false;
    };
    // The lines of the text in `width` pixels.
    Lines linesFor(int width) const;
    int textWidth() const;

    int m_maximumLines = 1;
};
