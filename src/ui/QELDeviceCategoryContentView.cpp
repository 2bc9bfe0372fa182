// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELDeviceCategoryContentView.h"

#include <stdexcept>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

#include "LocalizedStrings.h"
#include "QELCopyEndMessage.h"
#include "QELCopyItemBeginEventArgs.h"
#include "QELCopyOutcome.h"
#include "QELDeviceCategoryContentViewDelegate.h"

QELDeviceCategoryContentView::QELDeviceCategoryContentView(const QRect& frame, QWidget* parent)
    : QELPagedView(frame, parent)
{
}

QString QELDeviceCategoryContentView::mustOverrideText(const char* operation)
{
    return QStringLiteral("You must override %1 in a subclass of QELDeviceCategoryContentView")
        .arg(QString::fromLatin1(operation));
}

namespace {
[[noreturn]] void mustOverride(const char* operation)
{
    throw std::logic_error(QELDeviceCategoryContentView::mustOverrideText(operation).toStdString());
}
} // namespace

void QELDeviceCategoryContentView::RequestCopy() { mustOverride("RequestCopy"); }
void QELDeviceCategoryContentView::RequestCancelCopy() { mustOverride("RequestCancelCopy"); }
void QELDeviceCategoryContentView::RequestTransfer() { mustOverride("RequestTransfer"); }
void QELDeviceCategoryContentView::RequestBackUp() { mustOverride("RequestBackUp"); }
void QELDeviceCategoryContentView::search(const QString&) { mustOverride("search:"); }

// --- Copies ---

namespace {
QString settingsKeyOfCopyFolder(const QString& kind)
{
    return QStringLiteral("LastCopyFolder/") + kind;
}
} // namespace

QString QELDeviceCategoryContentView::startFolderForCopy(const QString& kind,
                                                         QStandardPaths::StandardLocation location)
{
    const QString remembered = QSettings().value(settingsKeyOfCopyFolder(kind)).toString();
    if (!remembered.isEmpty() && QFileInfo(remembered).isDir())
        return remembered;
    // An XDG folder that does not exist yet answers the home folder.
    const QString desktopFolder = QStandardPaths::writableLocation(location);
    if (!desktopFolder.isEmpty() && QFileInfo(desktopFolder).isDir())
        return desktopFolder;
    return QDir::homePath();
}

void QELDeviceCategoryContentView::rememberFolderForCopy(const QString& kind, const QString& folder)
{
    if (!folder.isEmpty())
        QSettings().setValue(settingsKeyOfCopyFolder(kind), folder);
}

QString QELDeviceCategoryContentView::copyFolderKind() const
{
    return QString::fromLatin1(metaObject()->className());
}

QString QELDeviceCategoryContentView::chooseCopyFolder(const QString& title,
                                                       const QString& acceptLabel)
{
    const QString kind = copyFolderKind();
    QString folder;
    if (m_chooseFolder) {
        folder = m_chooseFolder(this);
    } else {
        QFileDialog panel(this, title.isEmpty() ? L("SELECTSAVEDESTINATION") : title,
                          startFolderForCopy(kind, copyFolderLocation()));
        panel.setFileMode(QFileDialog::Directory);
        panel.setOption(QFileDialog::ShowDirsOnly);
        panel.setAcceptMode(QFileDialog::AcceptOpen);
        panel.setLabelText(QFileDialog::Accept,
                           acceptLabel.isEmpty() ? L("SELECTDESTINATION") : acceptLabel);
        if (panel.exec() == QDialog::Accepted && !panel.selectedFiles().isEmpty())
            folder = panel.selectedFiles().constFirst();
    }
    if (folder.isEmpty())
        return {};
    rememberFolderForCopy(kind, folder);
    m_copyFolder = folder;
    return folder;
}

void QELDeviceCategoryContentView::reportCopyItemBegin(const QString& title,
                                                       const QELCopyItemBeginEventArgs& args)
{
    if (!m_delegate)
        return;
    if (args.isProgressStep())
        m_delegate->OnCopyBytesProgressEvent(title, args.itemDescription(), int(args.itemNumber()),
                                             int(args.itemCount()), args.bytesCopied(),
                                             args.byteCount());
    else
        m_delegate->OnCopyProgressEventWithBytes(title, args.itemDescription(),
                                                 int(args.itemNumber()), int(args.itemCount()),
                                                 args.bytesCopied(), args.byteCount());
}

void QELDeviceCategoryContentView::reportCopyEnd(const QELCopyOutcome& outcome,
                                                 const QString& doneText, const QString& folder,
                                                 const QString& moreText)
{
    if (!m_delegate)
        return;
    QStringList lines;
    if (const QString detail = QELCopyEndMessage::detail(outcome); !detail.isEmpty())
        lines << detail;
    if (!moreText.isEmpty())
        lines << moreText;
    const QString title = QELCopyEndMessage::title(outcome, doneText);
    const QString bottom = lines.join(QLatin1Char(' '));
    if (folder.isEmpty() || (outcome.copied == 0 && outcome.itemCount > 0))
        m_delegate->OnInformationStatusEventBottomLine(title, bottom);
    else
        m_delegate->OnCopyEndedInFolder(title, bottom, folder);
}

void QELDeviceCategoryContentView::reportCopyEnd(const QString& doneText, quint32 notCopied,
                                                 const QString& folder, const QString& moreText)
{
    if (!m_delegate)
        return;
    QStringList lines;
    if (notCopied)
        lines << Ln("ITEMSNOTCOPIED", notCopied);
    if (!moreText.isEmpty())
        lines << moreText;
    const QString bottom = lines.join(QLatin1Char(' '));
    if (folder.isEmpty())
        m_delegate->OnInformationStatusEventBottomLine(doneText, bottom);
    else
        m_delegate->OnCopyEndedInFolder(doneText, bottom, folder);
}
