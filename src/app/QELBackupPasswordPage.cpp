// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELBackupPasswordPage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "BackupPageStyle.h"
#include "LocalizedStrings.h"
#include "SpinnerIndicator.h"

QELBackupPasswordPage::QELBackupPasswordPage(QWidget* parent)
    : QELPagedView(parent)
{
    setObjectName(QStringLiteral("passwordRequiredView"));
    auto* top = new QWidget;
    auto* layout = new QVBoxLayout(top);
    layout->setContentsMargins(40, 40, 40, 28);
    layout->setSpacing(14);
    layout->addStretch(1);
    layout->addWidget(BackupPageStyle::title(L("PASSWORDREQUIRED"), top));
    layout->addWidget(BackupPageStyle::detail(L("PASSWORDREQUIREDDETAIL"), top), 0, Qt::AlignHCenter);

    m_field = new QLineEdit(top);
    m_field->setObjectName(QStringLiteral("passwordtextField"));
    m_field->setEchoMode(QLineEdit::Password);
    m_field->setFixedWidth(320);
    layout->addSpacing(4);
    layout->addWidget(m_field, 0, Qt::AlignHCenter);

    m_notice = new QLabel(top);
    m_notice->setObjectName(QStringLiteral("passwordIncorrectTextField"));
    m_notice->setAlignment(Qt::AlignCenter);
    m_notice->setStyleSheet(QStringLiteral("color: #b3261e;"));
    // The notice keeps its place while hidden, so the page does not jump.
    QSizePolicy keep = m_notice->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_notice->setSizePolicy(keep);
    m_notice->hide();
    layout->addWidget(m_notice);

    auto* row = new QWidget(top);
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    rowLayout->setSpacing(12);
    m_spinner = new SpinnerIndicator(row);
    m_spinner->setObjectName(QStringLiteral("passwordProgressIndicator"));
    m_spinner->setFixedSize(24, 24);
    QSizePolicy keepSpinner = m_spinner->sizePolicy();
    keepSpinner.setRetainSizeWhenHidden(true);
    m_spinner->setSizePolicy(keepSpinner);
    m_spinner->hide();
    m_cancel = new QPushButton(L("CANCEL"), row);
    m_cancel->setObjectName(QStringLiteral("passwordCancelButton"));
    m_continue = new QPushButton(L("CONTINUE"), row);
    m_continue->setObjectName(QStringLiteral("passwordContinueButton"));
    for (QPushButton* button : {m_cancel, m_continue}) {
        button->setMinimumWidth(120);
        // Return belongs to the field; the buttons answer clicks and Space.
        button->setAutoDefault(false);
    }
    rowLayout->addWidget(m_spinner);
    rowLayout->addWidget(m_cancel);
    rowLayout->addWidget(m_continue);
    layout->addWidget(row, 0, Qt::AlignHCenter);
    layout->addStretch(2);

    m_help = new QLabel(top);
    m_help->setObjectName(QStringLiteral("passwordHelpLink"));
    m_help->setAlignment(Qt::AlignCenter);
    m_help->setTextFormat(Qt::RichText);
    m_help->setText(QStringLiteral("<a href=\"help\">%1</a>").arg(L("PASSWORDHELP").toHtmlEscaped()));
    m_help->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    layout->addWidget(m_help);

    setView(top);
    setIsOpaque(true);

    connect(m_field, &QLineEdit::returnPressed, this, &QELBackupPasswordPage::continueClicked);
    connect(m_continue, &QPushButton::clicked, this, &QELBackupPasswordPage::continueClicked);
    connect(m_cancel, &QPushButton::clicked, this, &QELBackupPasswordPage::cancelClicked);
    connect(m_help, &QLabel::linkActivated, this, &QELBackupPasswordPage::helpLinkClicked);
}

void QELBackupPasswordPage::reset()
{
    m_field->clear();
    setNotice(QString());
}

void QELBackupPasswordPage::setNotice(const QString& text)
{
    m_notice->setText(text);
    m_notice->setVisible(!text.isNull());
    update();
}

void QELBackupPasswordPage::setTesting(bool testing)
{
    m_cancel->setEnabled(!testing);
    m_continue->setEnabled(!testing);
    m_spinner->setVisible(testing);
    if (testing)
        m_spinner->startAnimation();
    else
        m_spinner->stopAnimation();
}

QString QELBackupPasswordPage::typedPassword() const { return m_field->text(); }
