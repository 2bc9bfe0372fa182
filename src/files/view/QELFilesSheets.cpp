// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELFilesSheets.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "FileTypeIcons.h"
#include "LocalizedStrings.h"
#include "PlainText.h"

QELFilesNewFolderSheet::QELFilesNewFolderSheet(QWidget* parent)
    : QDialog(parent)
    , m_name(new QLineEdit(L("NEWFOLDERNAME"), this))
    , m_problem(new QLabel(this))
    , m_ok(new QPushButton(L("CREATEFOLDER"), this))
    , m_cancel(new QPushButton(L("CANCEL"), this))
{
    setObjectName(QStringLiteral("newFolderNamePanel"));
    setWindowModality(Qt::WindowModal);
    setWindowTitle(L("NEWFOLDER"));
    m_name->setObjectName(QStringLiteral("newFolderNameTextField"));
    m_problem->setObjectName(QStringLiteral("newFolderProblem"));
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #b00020"));
    m_problem->hide();
    m_ok->setDefault(true);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_cancel, QDialogButtonBox::RejectRole);
    buttons->addButton(m_ok, QDialogButtonBox::AcceptRole);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(L("NEWFOLDERPROMPT"), this));
    layout->addWidget(m_name);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);
    resize(360, sizeHint().height());
}

void QELFilesNewFolderSheet::setProblem(const QString& text)
{
    m_problem->setTextFormat(Qt::PlainText);
    m_problem->setText(text);
    m_problem->setVisible(!text.isEmpty());
    // The sheet grows with the wrapped problem, or its lines would be cut.
    if (QLayout* lines = layout()) {
        lines->activate();
        const int needed = lines->hasHeightForWidth() ? lines->totalHeightForWidth(width())
                                                      : lines->totalSizeHint().height();
        if (needed > height())
            resize(width(), needed);
    }
}

QString QELFilesNewFolderSheet::problem() const
{
    return m_problem->isVisible() ? m_problem->text() : QString();
}

QELFilesDeleteSheet::QELFilesDeleteSheet(QWidget* parent)
    : QDialog(parent)
    , m_label(new QLabel(this))
    , m_list(new QListWidget(this))
    , m_ok(new QPushButton(L("DELETE"), this))
    , m_cancel(new QPushButton(L("CANCEL"), this))
{
    setObjectName(QStringLiteral("confirmDeletePanel"));
    setWindowModality(Qt::WindowModal);
    setWindowTitle(L("DELETE"));
    m_label->setObjectName(QStringLiteral("confirmDeleteNameLabel"));
    m_label->setWordWrap(true);
    m_list->setObjectName(QStringLiteral("confirmDeleteNames"));
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setIconSize(FileTypeIcons::kIconSize);
    m_cancel->setDefault(true);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_cancel, QDialogButtonBox::RejectRole);
    buttons->addButton(m_ok, QDialogButtonBox::DestructiveRole);
    auto* layout = new QVBoxLayout(this);
    auto* detail = new QLabel(L("DELETECONFIRMDETAIL"), this);
    detail->setWordWrap(true);
    layout->addWidget(m_label);
    layout->addWidget(m_list);
    layout->addWidget(detail);
    layout->addWidget(buttons);
    resize(420, 300);
}

void QELFilesDeleteSheet::setItems(const QStringList& paths)
{
    m_items = paths;
    m_label->setText(Ln("DELETECONFIRM", paths.size()));
    m_list->clear();
    for (const QString& path : paths) {
        auto* item = new QListWidgetItem(path, m_list);
        item->setToolTip(PlainText::toolTip(path));
    }
}
