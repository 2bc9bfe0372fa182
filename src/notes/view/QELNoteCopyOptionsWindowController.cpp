// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELNoteCopyOptionsWindowController.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "LocalizedStrings.h"
#include "QELCopyNotes.h"

QELNoteCopyOptionsWindowController::QELNoteCopyOptionsWindowController(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("QELNoteCopyOptionsWindowController"));
    setWindowTitle(L("NOTECOPYOPTIONS"));
    auto* layout = new QVBoxLayout(this);

    auto* format = new QGroupBox(L("NOTEEXPORTFORMAT"), this);
    auto* formatLayout = new QVBoxLayout(format);
    m_html = new QRadioButton(L("NOTEFORMATHTML"), format);
    m_html->setObjectName(QStringLiteral("htmlButtonCell"));
    m_txt = new QRadioButton(L("NOTEFORMATTEXT"), format);
    m_txt->setObjectName(QStringLiteral("txtButtonCell"));
    formatLayout->addWidget(m_html);
    formatLayout->addWidget(m_txt);
    m_warning = new QLabel(L("NOTETEXTWARNING"), format);
    m_warning->setObjectName(QStringLiteral("warningTextField"));
    m_warning->setWordWrap(true);
    QPalette warningPalette = m_warning->palette();
    warningPalette.setColor(QPalette::WindowText, QColor(170, 60, 0));
    m_warning->setPalette(warningPalette);
    // Its room is kept while it is hidden: shown later, it would not fit the
    // sheet already laid out and its lines would be cut.
    QSizePolicy keepRoom = m_warning->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    m_warning->setSizePolicy(keepRoom);
    formatLayout->addWidget(m_warning);
    auto* formats = new QButtonGroup(this);
    formats->addButton(m_html);
    formats->addButton(m_txt);
    layout->addWidget(format);

    auto* naming = new QGroupBox(L("NOTEFILENAMES"), this);
    auto* namingLayout = new QVBoxLayout(naming);
    m_title = new QRadioButton(L("NOTENAMETITLE"), naming);
    m_title->setObjectName(QStringLiteral("titleButtonCell"));
    m_created = new QRadioButton(L("NOTENAMECREATED"), naming);
    m_created->setObjectName(QStringLiteral("createdDateButtonCell"));
    m_modified = new QRadioButton(L("NOTENAMEMODIFIED"), naming);
    m_modified->setObjectName(QStringLiteral("modifiedDateButtonCell"));
    auto* names = new QButtonGroup(this);
    for (QRadioButton* button : {m_title, m_created, m_modified}) {
        names->addButton(button);
        namingLayout->addWidget(button);
    }
    layout->addWidget(naming);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* copy = buttons->addButton(L("COPYTOMAC"), QDialogButtonBox::AcceptRole);
    copy->setObjectName(QStringLiteral("copyButton"));
    copy->setDefault(true);
    buttons->addButton(L("CANCEL"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    m_html->setChecked(true);
    m_title->setChecked(true);
    m_warning->setVisible(false);
    connect(m_html, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            htmlButtonStateChanged();
    });
    connect(m_txt, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            txtButtonStateChanged();
    });
}

void QELNoteCopyOptionsWindowController::htmlButtonStateChanged() { m_warning->setVisible(false); }

void QELNoteCopyOptionsWindowController::txtButtonStateChanged() { m_warning->setVisible(true); }

int QELNoteCopyOptionsWindowController::selectedOptions() const
{
    int options = 0;
    if (m_html->isChecked())
        options |= QELCopyNotes::kHTML;
    if (m_created->isChecked())
        options |= QELCopyNotes::kCreationDate;
    if (m_modified->isChecked())
        options |= QELCopyNotes::kModifiedDate;
    return options;
}
