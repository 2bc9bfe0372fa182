// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELDateSelectPanel.h"

#include <QDateEdit>
#include <QLabel>
#include <QPushButton>

#include "LocalizedStrings.h"
#include "ui_QELDateSelectPanel.h"

QELDateSelectPanel::QELDateSelectPanel(QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::QELDateSelectPanel>())
{
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("panelSetDates"));
    setWindowTitle(L("DATERANGETITLE"));
    m_ui->titleLabel->setText(L("DATERANGETITLE"));
    m_ui->radioButtonShowAll->setText(L("SHOWALLMESSAGES"));
    m_ui->radioButtonShowSelectedDates->setText(L("SHOWMESSAGESBETWEEN"));
    m_ui->startLabel->setText(L("DATERANGEFROM"));
    m_ui->endLabel->setText(L("DATERANGETO"));
    m_ui->buttonOK->setText(L("OK"));
    m_ui->startDatePicker->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    m_ui->endDatePicker->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    connect(m_ui->radioButtonShowAll, &QRadioButton::clicked, this,
            &QELDateSelectPanel::showAllRadioButtonClicked);
    connect(m_ui->radioButtonShowSelectedDates, &QRadioButton::clicked, this,
            &QELDateSelectPanel::showInRangeRadioButtonClicked);
    connect(m_ui->buttonOK, &QPushButton::clicked, this, &QELDateSelectPanel::buttonOKClicked);
    m_cancel = new QPushButton(L("CANCEL"), this);
    m_cancel->setObjectName(QStringLiteral("buttonCancel"));
    m_ui->buttonRow->insertWidget(m_ui->buttonRow->indexOf(m_ui->buttonOK), m_cancel);
    connect(m_cancel, &QPushButton::clicked, this, &QELDateSelectPanel::buttonCancelClicked);
    m_emptyRange = new QLabel(L("DATERANGEEMPTY"), m_ui->boxSelectDates);
    m_emptyRange->setObjectName(QStringLiteral("emptyRangeLabel"));
    m_emptyRange->setWordWrap(true);
    m_emptyRange->setTextFormat(Qt::PlainText);
    m_emptyRange->hide();
    if (QLayout* box = m_ui->boxSelectDates->layout())
        box->addWidget(m_emptyRange);
    connect(m_ui->startDatePicker, &QDateEdit::dateChanged, this,
            &QELDateSelectPanel::updateAcceptance);
    connect(m_ui->endDatePicker, &QDateEdit::dateChanged, this,
            &QELDateSelectPanel::updateAcceptance);
    connect(m_ui->radioButtonShowAll, &QRadioButton::toggled, this,
            &QELDateSelectPanel::updateAcceptance);
    m_ui->radioButtonShowAll->setChecked(true);
    m_ui->boxSelectDates->setVisible(false);
}

void QELDateSelectPanel::setConversationRange(const QDateTime& first, const QDateTime& last)
{
    m_conversationFirst = first;
    m_conversationLast = last;
}

bool QELDateSelectPanel::canAccept() const
{
    return m_ui->radioButtonShowAll->isChecked()
        || m_ui->startDatePicker->date() <= m_ui->endDatePicker->date();
}

void QELDateSelectPanel::updateAcceptance()
{
    const bool ok = canAccept();
    m_ui->buttonOK->setEnabled(ok);
    m_emptyRange->setVisible(!ok);
}

void QELDateSelectPanel::buttonCancelClicked() { reject(); }

QPushButton* QELDateSelectPanel::buttonOK() const { return m_ui->buttonOK; }

QELDateSelectPanel::~QELDateSelectPanel() = default;

void QELDateSelectPanel::setDatesEndDate(const QDateTime& startDate, const QDateTime& endDate)
{
    _startDate = startDate;
    _endDate = endDate;
    if (startDate.isValid() && endDate.isValid()) {
        m_ui->startDatePicker->setDate(startDate.toLocalTime().date());
        m_ui->endDatePicker->setDate(endDate.toLocalTime().date());
        m_ui->radioButtonShowSelectedDates->setChecked(true);
        showInRangeRadioButtonClicked();
    } else {
        m_ui->boxSelectDates->setVisible(false);
        m_ui->radioButtonShowAll->setChecked(true);
        showAllRadioButtonClicked();
    }
}

void QELDateSelectPanel::showAllRadioButtonClicked() { m_ui->boxSelectDates->setVisible(false); }

void QELDateSelectPanel::showInRangeRadioButtonClicked()
{
    m_ui->boxSelectDates->setVisible(true);
    if (_startDate.isValid() && _endDate.isValid()) {
        m_ui->startDatePicker->setDate(_startDate.toLocalTime().date());
        m_ui->endDatePicker->setDate(_endDate.toLocalTime().date());
    } else if (m_conversationFirst.isValid() && m_conversationLast.isValid()) {
        m_ui->startDatePicker->setDate(m_conversationFirst.toLocalTime().date());
        m_ui->endDatePicker->setDate(m_conversationLast.toLocalTime().date());
    } else {
        const QDate today = QDate::currentDate();
        m_ui->endDatePicker->setDate(today);
        m_ui->startDatePicker->setDate(today.addMonths(-1));
    }
    updateAcceptance();
}

void QELDateSelectPanel::buttonOKClicked()
{
    // An empty range would show no message at all, which looks like data lost.
    if (!canAccept())
        return;
    accept();
}

QDateTime QELDateSelectPanel::getStartDate() const
{
    if (m_ui->radioButtonShowAll->isChecked())
        return {};
    return m_ui->startDatePicker->date().startOfDay();
}

QDateTime QELDateSelectPanel::getEndDate() const
{
    if (m_ui->radioButtonShowAll->isChecked())
        return {};
    return m_ui->endDatePicker->date().startOfDay();
}

QDateEdit* QELDateSelectPanel::startDatePicker() const { return m_ui->startDatePicker; }
QDateEdit* QELDateSelectPanel::endDatePicker() const { return m_ui->endDatePicker; }
QRadioButton* QELDateSelectPanel::radioButtonShowSelectedDates() const
{
    return m_ui->radioButtonShowSelectedDates;
}
QRadioButton* QELDateSelectPanel::radioButtonShowAll() const { return m_ui->radioButtonShowAll; }
QGroupBox* QELDateSelectPanel::boxSelectDates() const { return m_ui->boxSelectDates; }
