// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>

#include <QHash>
#include <QList>
#include <QStringList>
#include <QUrl>

#include "QELCopyDelegate.h"
#include "QELDeviceDataCategoryContentView.h"
#include "QELVoiceMailContact.h"
#include "QELVoiceMailItem.h"

class BackupFileSource;
class QELCopyVoiceMails;
class QELPagedView;
class QELVoiceMailContactListModel;
class QELVoiceMailDbReader;
class QELVoiceMailItemListModel;
class QItemSelection;
class QLabel;
class QListView;
class QPushButton;
class QTableView;

// The voicemail category: the senders on the left; the voicemails of the
// selected senders (in the order they were selected) on the right with
// their date and length, a Play button (double-click plays too) and a Copy
// button. Play hands the preview player the local audio copies of the
// selected voicemails, or of all listed; Copy saves them as audio files into
// a chosen folder. Everything, the audio copies included, is read on the
// load's worker and handed over in one queued call. Main thread.
class QELVoiceMailView : public QELDeviceDataCategoryContentView,
                         public QELCopyDelegate {
    Q_OBJECT
public:
    // Opens the providers' page of the empty page's link.
    using UrlOpener = std::function<void(const QUrl& url)>;

    explicit QELVoiceMailView(const QRect& frame = QRect(), QWidget* parent = nullptr);
    ~QELVoiceMailView() override;

    Requests answeredRequests() const override { return Copy | CancelCopy; }
    // Shows the loading page and reads the voicemail on a worker.
    void loadData() override;
    void RequestCopy() override;
    void RequestCancelCopy() override;
    // The search field has no effect on voicemail.
    void search(const QString& text) override;

    bool hasMediaListForPlayback() const override { return true; }
    bool mediaListIsLocal() const override { return true; }
    // The selected voicemails, else all listed, that have audio.
    QList<TrackDetailPtr> mediaListForPlayback() override;

    void buttonPlayVoiceMailClicked();
    void buttonCopyVoiceMailClicked() { RequestCopy(); }

    void setUrlOpener(UrlOpener opener) { m_openUrl = std::move(opener); }

    // QELCopyDelegate
    void OnItemCopyBeginEvent(const QELCopyItemBeginEventArgs& args) override;
    void OnItemCopyEndEvent(const QELCopyItemEndEventArgs& args) override;
    void OnAllItemsCopiedEventWithType(int copyType) override;
    void OnAllItemsCopiedEventWithOutcome(int copyType, quint32 notCopied,
                                          const QELCopyOutcome& outcome) override;

    // The senders shown, in list order.
    QList<QELVoiceMailContact> contacts() const;
    // The voicemails shown.
    QList<QELVoiceMailItem> voiceMails() const;
    QListView* contactsTableView() const { return m_contactsTableView; }
    QTableView* voiceMailItemsTableView() const { return m_voiceMailItemsTableView; }
    QPushButton* buttonPlay() const { return m_buttonPlay; }
    QPushButton* buttonCopy() const { return m_buttonCopy; }
    // The page shown when there is no voicemail; null until then.
    QELPagedView* noVoiceMailsFoundView() const { return m_noVoiceMailsFoundView; }
    QLabel* textFieldNoVoicemailProviders() const { return m_providersLink; }
    QELCopyVoiceMails* copyJob() const { return m_copyVoiceMails.get(); }

private:
    struct LoadResult;
    void _workerLoadComplete(const std::shared_ptr<LoadResult>& result);
    void _voiceMailItemTableViewRowDoubleClicked();
    void tableViewSelectionDidChange(const QItemSelection& selected,
                                     const QItemSelection& deselected);
    QList<QELVoiceMailItem> selectedVoiceMails() const;
    void showNoVoiceMailsFoundView();
    void openProvidersLink();

    QWidget* m_viewContent = nullptr;
    QListView* m_contactsTableView = nullptr;
    QTableView* m_voiceMailItemsTableView = nullptr;
    QPushButton* m_buttonPlay = nullptr;
    QPushButton* m_buttonCopy = nullptr;
    QELVoiceMailContactListModel* m_contactsModel = nullptr;
    QELVoiceMailItemListModel* m_itemsModel = nullptr;
    QELPagedView* m_noVoiceMailsFoundView = nullptr;
    QLabel* m_providersLink = nullptr;

    std::shared_ptr<QELVoiceMailDbReader> _voiceMailDbReader;
    // The source of the last load; the copy job reads the audio from it.
    std::shared_ptr<BackupFileSource> m_source;
    // Voicemail id -> local audio copy, made by the load.
    QHash<qint64, QString> m_audioPaths;
    // The selected senders' texts, in the order they were selected.
    QStringList m_selectedSenders;
    std::unique_ptr<QELCopyVoiceMails> m_copyVoiceMails;
    UrlOpener m_openUrl;
};
