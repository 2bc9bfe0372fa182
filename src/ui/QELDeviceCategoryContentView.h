// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QStandardPaths>

#include "QELDeviceContentViewMediaPlaybackDelegate.h"
#include "QELPagedView.h"

struct QELCopyOutcome;

class QELCopyItemBeginEventArgs;
class QELDeviceCategoryContentViewDelegate;
class QELDeviceInterface;

// The base of every category view: the control bar reaches the shown category
// through these requests, and the view reports to its delegate (the device
// content page). Main thread only.
//
// A subclass overrides the requests it answers and lists them in
// answeredRequests(); callers send a request only when the view answers it,
// so a view that has no cancel (or no back-up) is never asked for one. The
// base operations throw std::logic_error naming the operation, which flags a
// view that lists a request without overriding it.
class QELDeviceCategoryContentView : public QELPagedView,
                                     public QELDeviceContentViewMediaPlaybackDelegate {
    Q_OBJECT
public:
    enum Request {
        Copy = 0x1,
        CancelCopy = 0x2,
        Transfer = 0x4,
        BackUp = 0x8,
        Search = 0x10,
    };
    Q_DECLARE_FLAGS(Requests, Request)

    explicit QELDeviceCategoryContentView(const QRect& frame = QRect(), QWidget* parent = nullptr);

    // The requests this view answers; none in the base.
    virtual Requests answeredRequests() const { return {}; }
    bool answers(Request request) const { return answeredRequests().testFlag(request); }

    // Copy the selection to the computer.
    virtual void RequestCopy();
    // Cancel the running copy.
    virtual void RequestCancelCopy();
    // Transfer the selection into the computer's media library.
    virtual void RequestTransfer();
    // Back the whole library up into the computer's media library.
    virtual void RequestBackUp();
    // Filter the view by `text`; the empty text clears the filter.
    virtual void search(const QString& text);

    // Esc with nothing to clear in the search field: a view closes what it
    // has open over its list. Answers whether it closed anything.
    virtual bool escapePressed() { return false; }

    // The content page leaves this view for another category's. What the
    // view showed of that moment goes, as the status panel's last message
    // does (the music view's cover of its selection); the view shows it anew
    // when it is chosen again.
    virtual void categoryWillBeLeft() {}

    // Not owned: the content page, which outlives its views.
    QELDeviceCategoryContentViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(QELDeviceCategoryContentViewDelegate* delegate) { m_delegate = delegate; }
    // Not owned: the application's one device interface.
    QELDeviceInterface* deviceInterface() const { return m_deviceInterface; }
    void setDeviceInterface(QELDeviceInterface* deviceInterface)
    {
        m_deviceInterface = deviceInterface;
    }

    // The text every base operation throws: "You must override <operation> in
    // a subclass of QELDeviceCategoryContentView".
    static QString mustOverrideText(const char* operation);

    // Asks for the destination folder of a copy; empty: the user cancelled.
    using FolderChooser = std::function<QString(QWidget* parent)>;
    // Replaces the folder dialog (tests).
    void setFolderChooser(FolderChooser chooser) { m_chooseFolder = std::move(chooser); }
    // The folder of this view's running or last copy; empty before the first
    // and after a transfer that goes into no folder (forgetCopyFolder()).
    QString lastCopyFolder() const { return m_copyFolder; }

    // Where the folder dialog of a kind of copy opens: the folder last chosen
    // for that kind when it still exists, else the desktop's folder of the
    // kind (Music, Pictures, Documents). Kept in the settings between runs.
    static QString startFolderForCopy(const QString& kind,
                                      QStandardPaths::StandardLocation location);
    static void rememberFolderForCopy(const QString& kind, const QString& folder);

protected:
    // Asks for the folder of a copy, opening at the one last chosen for this
    // view's kind, and remembers the answer; empty: cancelled.
    QString chooseCopyFolder(const QString& title = QString(),
                             const QString& acceptLabel = QString());
    // The desktop folder a first copy of this view goes to.
    virtual QStandardPaths::StandardLocation copyFolderLocation() const
    {
        return QStandardPaths::DocumentsLocation;
    }
    // The name under which the last folder is kept: the view's class name.
    virtual QString copyFolderKind() const;

    // What every copy job's events become on the status panel: an item
    // started or more of its bytes came (its count under `title`, the bar
    // following bytes when the job knows them), and the end (`doneText`, the
    // items not copied) with the folder to show when the copy went into one.
    void reportCopyItemBegin(const QString& title, const QELCopyItemBeginEventArgs& args);
    // `moreText` follows the count of items not copied on the second line.
    void reportCopyEnd(const QString& doneText, quint32 notCopied,
                       const QString& folder = QString(), const QString& moreText = QString());
    // The end as the job tells it (QELCopyEndMessage): `doneText` only when
    // every item was copied; the folder to show only when something went there.
    void reportCopyEnd(const QELCopyOutcome& outcome, const QString& doneText,
                       const QString& folder = QString(), const QString& moreText = QString());
    // A job that goes into no folder (a transfer) starts.
    void forgetCopyFolder() { m_copyFolder.clear(); }

private:
    FolderChooser m_chooseFolder;
    QString m_copyFolder;
    QELDeviceCategoryContentViewDelegate* m_delegate = nullptr;
    QELDeviceInterface* m_deviceInterface = nullptr;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(QELDeviceCategoryContentView::Requests)
