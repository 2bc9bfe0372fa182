// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELBackupNoticePage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "BackupPageStyle.h"
#include "LocaleTime.h"
#include "LocalizedStrings.h"
#include "SpinnerIndicator.h"

QELBackupNoticePage::QELBackupNoticePage(const QString& objectName, const QString& title,
                                         const QString& detail, bool withSpinner, QWidget* parent)
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
    m_retried = new QLabel(top);
    m_retried->setObjectName(objectName + QStringLiteral("Retried"));
    m_retried->setTextFormat(Qt::PlainText);
    m_retried->setAlignment(Qt::AlignCenter);
    m_retried->setWordWrap(true);
    m_retried->hide();
    layout->addWidget(m_retried);
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
    if (objectName == QLatin1String("tryAgainButton"))
        connect(button, &QPushButton::clicked, this, [this] {
            ++m_tries;
            m_lastTry = QTime::currentTime();
        });
    return button;
}

void QELBackupNoticePage::showEvent(QShowEvent* event)
{
    // Back after a try: the try happened, and its answer was this page again.
    if (m_tries > 0) {
        m_retried->setText(Ln("TRIEDAGAINAT", m_tries).arg(LocaleTime::shortTime(m_lastTry)));
        m_retried->show();
    }
    QELPagedView::showEvent(event);
}
