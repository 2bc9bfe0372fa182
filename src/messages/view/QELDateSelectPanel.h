// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QDateTime>
#include <QDialog>

namespace Ui {
class QELDateSelectPanel;
}
class QDateEdit;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

// The sheet in which the messages view's date range is chosen: all messages,
// or the messages of the days between two dates. OK takes what it shows, and
// only a range that holds at least one day (From not after To); Cancel, Esc
// and the window's close control leave the range as it was. Main thread.
class QELDateSelectPanel : public QDialog {
    Q_OBJECT
public:
    explicit QELDateSelectPanel(QWidget* parent = nullptr);
    ~QELDateSelectPanel() override;

    // Prepares the panel before it is shown: with both dates the range
    // choice showing them, otherwise the show-all choice.
    void setDatesEndDate(const QDateTime& startDate, const QDateTime& endDate);
    // The days of the whole conversation, shown when a range is first chosen;
    // invalid: the last month up to today.
    void setConversationRange(const QDateTime& first, const QDateTime& last);
    // The chosen range: both invalid for the show-all choice; otherwise the
    // start of the picked days.
    QDateTime getStartDate() const;
    QDateTime getEndDate() const;

    void showAllRadioButtonClicked();
    // Shows the two dates: the panel's range, or the conversation's days.
    void showInRangeRadioButtonClicked();
    void buttonOKClicked();
    void buttonCancelClicked();
    // Whether OK takes what is shown (not an empty range).
    bool canAccept() const;

    QDateEdit* startDatePicker() const;
    QDateEdit* endDatePicker() const;
    QRadioButton* radioButtonShowSelectedDates() const;
    QRadioButton* radioButtonShowAll() const;
    QGroupBox* boxSelectDates() const;
    QPushButton* buttonOK() const;
    QPushButton* buttonCancel() const { return m_cancel; }
    // Says why OK is refused; hidden while the range holds a day.
    QLabel* emptyRangeLabel() const { return m_emptyRange; }

private:
    void updateAcceptance();

    std::unique_ptr<Ui::QELDateSelectPanel> m_ui;
    QDateTime _startDate;
    QDateTime _endDate;
    QDateTime m_conversationFirst;
    QDateTime m_conversationLast;
    QPushButton* m_cancel = nullptr;
    QLabel* m_emptyRange = nullptr;
};
