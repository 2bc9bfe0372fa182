// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTime>

#include "QELPagedView.h"

class QLabel;
class QPushButton;
class SpinnerIndicator;

// One page of the backup that a backup-derived category waits for: a title,
// a line of explanation, and either a spinner (while the backup runs) or the
// buttons that lead on (try again, enter the password, ...). Opaque.
class QELBackupNoticePage : public QELPagedView {
    Q_OBJECT
public:
    QELBackupNoticePage(const QString& objectName, const QString& title, const QString& detail,
                        bool withSpinner, QWidget* parent = nullptr);

    // Adds a button below the text; buttons stand side by side in the order added.
    QPushButton* addButton(const QString& objectName, const QString& text);

    QLabel* titleLabel() const { return m_title; }
    QLabel* detailLabel() const { return m_detail; }
    // Null on a page without one.
    SpinnerIndicator* spinner() const { return m_spinner; }
    // Says when "Try Again" was last pressed, once the page is back after a try.
    QLabel* retriedLabel() const { return m_retried; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_title;
    QLabel* m_detail;
    SpinnerIndicator* m_spinner = nullptr;
    QWidget* m_buttons;
    QLabel* m_retried = nullptr;
    int m_tries = 0;
    QTime m_lastTry;
};
