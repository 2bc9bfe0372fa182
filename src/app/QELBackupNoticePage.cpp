// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELBackupNoticePage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "BackupPageStyle.h"
#include "SpinnerIndicator.h"

QELBackupNoticePage::QELBackupNoticePage(const QString& objectName, const QString& title, const QString& detail,
                                         bool withSpinner, QWidget* parent)
    : QELPagedView(parent)
{
    setObjectName(objectName);
    auto* top = new QWidget;
    auto* layout = new QVBoxLayout(top);
    layout->setContentsMargins(40, 40, 40, 40);
    layout->setSpacing(14);
    layout->addStretch(1);
    m_title = BackupPageStyle::title(title, top);
    layout->addWidget(m_title);
    m_detail = BackupPageStyle::detail(detail, top);
    layout->addWidget(m_detail, 0, Qt::AlignHCenter);
    if (withSpinner) {
        m_spinner = new SpinnerIndicator(top);
        m_spinner->setObjectName(objectName + QStringLiteral("Spinner"));
        m_spinner->setFixedSize(28, 28);
        layout->addSpacing(6);
        layout->addWidget(m_spinner, 0, Qt::AlignHCenter);
    }
    m_buttons = new QWidget(top);
    auto* row = new QHBoxLayout(m_buttons);
    row->setContentsMargins(0, 8, 0, 0);
    row->setSpacing(12);
    m_buttons->hide();
    layout->addWidget(m_buttons, 0, Qt::AlignHCenter);
    layout->addStretch(2);
    setView(top);
    setIsOpaque(true);
}

QPushButton* QELBackupNoticePage::addButton(const QString& objectName, const QString& text)
{
    auto* button = new QPushButton(text, m_buttons);
    button->setObjectName(objectName);
    button->setMinimumWidth(140);
    m_buttons->layout()->addWidget(button);
    m_buttons->show();
    return button;
}
