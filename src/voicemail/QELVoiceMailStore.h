// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QList>
#include <QString>

#include "QELSQLiteStore.h"
#include "QELVoiceMailContact.h"
#include "QELVoiceMailItem.h"

// The private store of one voicemail load ("voicemail.dat" in the temporary
// folder): the senders and their voicemails as the reader found them. A file
// left from an earlier load is deleted first; when no file can hold the store
// it lives in memory. Blocking: the loading thread.
class QELVoiceMailStore : public QELSQLiteStore {
public:
    // "<temporary folder>/voicemail.dat"; empty without a temporary folder.
    static QString defaultFilePath();

    // A new, empty store at `filePath` (empty: in memory); null, with the
    // reason, when not even memory could hold it.
    static std::unique_ptr<QELVoiceMailStore> create(const QString& filePath,
                                                     QString* error = nullptr);
    ~QELVoiceMailStore() override;

    // Adds a sender; answers its row, or 0 when it could not be written.
    qint64 addContact(const QELVoiceMailContact& contact);
    // Adds a voicemail of the sender of `contactRow`.
    bool addItem(qint64 contactRow, const QELVoiceMailItem& item);

    // Every sender, by senderName in the store's plain text order.
    QList<QELVoiceMailContact> contacts() const;
    // The voicemails of the first sender whose text equals `sender`, in the
    // index's order; empty when no sender matches.
    QList<QELVoiceMailItem> itemsForSender(const QString& sender) const;

protected:
    QStringList schemaStatements() const override;

private:
    QELVoiceMailStore() = default;
};
