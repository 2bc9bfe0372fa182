// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QELPagedView.h"

class QLabel;
class QLineEdit;
class QPushButton;
class SpinnerIndicator;

// The page that asks for the password of an encrypted device backup: a
// hidden-text field, the notice shown when a password was refused (or could
// not be checked), Cancel and Continue, a spinner while a password is tested,
// and a help link. Return in the field acts as Continue; Tab only moves on.
class QELBackupPasswordPage : public QELPagedView {
    Q_OBJECT
public:
    explicit QELBackupPasswordPage(QWidget* parent = nullptr);

    // Empties the field and hides the notice (a fresh request).
    void reset();
    // Shows the notice with a text; a null text hides it.
    void setNotice(const QString& text);
    // While a password is tested: both buttons disabled, the spinner shown and turning.
    void setTesting(bool testing);

    QString typedPassword() const;
    QLineEdit* passwordtextField() const { return m_field; }
    QLabel* passwordIncorrectTextField() const { return m_notice; }
    QPushButton* passwordCancelButton() const { return m_cancel; }
    QPushButton* passwordContinueButton() const { return m_continue; }
    SpinnerIndicator* passwordProgressIndicator() const { return m_spinner; }
    QLabel* helpLink() const { return m_help; }

signals:
    void continueClicked();
    void cancelClicked();
    void helpLinkClicked();

private:
    QLineEdit* m_field;
    QLabel* m_notice;
    QPushButton* m_cancel;
    QPushButton* m_continue;
    SpinnerIndicator* m_spinner;
    QLabel* m_help;
};
