// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

// A one-line label that cuts its text with "…" where it does not fit, and
// then offers the whole text as its tool tip. text() stays the whole text.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    // The text as it is drawn at the label's present width.
    QString shownText() const;
    bool isElided() const { return shownText() != text(); }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
