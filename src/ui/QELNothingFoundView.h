// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QELPagedView.h"

class QLabel;
class QVBoxLayout;

// The page a category shows when the device holds none of its items: one
// centred, wrapped line, and what a category puts below it (a link).
class QELNothingFoundView : public QELPagedView {
    Q_OBJECT
public:
    // `labelName` names the label for tests and style sheets.
    QELNothingFoundView(const QString& text, const QString& labelName, const QRect& frame,
                        QWidget* parent = nullptr);

    QLabel* label() const { return m_label; }
    // Adds `widget` under the text, centred.
    void addBelow(QWidget* widget);

private:
    QLabel* m_label = nullptr;
    QVBoxLayout* m_layout = nullptr;
};
