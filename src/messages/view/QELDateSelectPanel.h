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
class QRadioButton;

// The sheet in which the messages view's date range is chosen: all messages,
// or the messages of the days between two dates. Closing it by its window's
// close control ends it like OK: what it shows is taken. Main thread.
class QELDateSelectPanel : public QDialog {
    Q_OBJECT
public:
    explicit QELDateSelectPanel(QWidget* parent = nullptr);
    ~QELDateSelectPanel() override;

    // Prepares the panel before it is shown: with both dates the range
    // choice showing them, otherwise the show-all choice.
    void setDatesEndDate(const QDateTime& startDate, const QDateTime& endDate);
    // The chosen range: both invalid for the show-all choice; otherwise the
    // start of the picked days.
    QDateTime getStartDate() const;
    QDateTime getEndDate() const;

    void showAllRadioButtonClicked();
    // Shows the two dates: the panel's range, or the last month up to today.
    void showInRangeRadioButtonClicked();
    void buttonOKClicked();

    QDateEdit* startDatePicker() const;
    QDateEdit* endDatePicker() const;
    QRadioButton* radioButtonShowSelectedDates() const;
    QRadioButton* radioButtonShowAll() const;
    QGroupBox* boxSelectDates() const;

private:
    std::unique_ptr<Ui::QELDateSelectPanel> m_ui;
    QDateTime _startDate;
    QDateTime _endDate;
};
