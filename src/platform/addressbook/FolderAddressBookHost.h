// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QList>
#include <QPair>

#include "AddressBookHost.h"

// The computer's address book as a vCard collection in the vdir layout that
// contact programs on Linux share: the folder
// "<data home>/contacts/<collection>", where the collection is the setting
// "AddressBookCollection" ("default" when unset or not a plain folder name),
// holding one "<uid>.vcf" per person. A person whose UID a card of the
// folder already has (one of ours, or renamed by another program) replaces
// that card. save() writes each file under a temporary name and then
// renames it.
class FolderAddressBookHost : public AddressBookHost {
public:
    static constexpr const char* kCollectionSetting = "AddressBookCollection";

    // `folder` replaces the collection folder (tests and the demo).
    explicit FolderAddressBookHost(const QString& folder = QString());
    ~FolderAddressBookHost() override;

    // The collection folder of the settings.
    static QString defaultFolder();
    QString folder() const { return m_folder; }

    bool open() override;
    QString addPerson(const AddressBookPerson& person) override;
    bool hasUnsavedChanges() const override { return !m_pending.isEmpty(); }
    bool save() override;
    QString location() const override { return m_folder; }
    // The cards the last save replaced rather than added.
    int replacedCount() const { return m_replaced; }

    // The UID of a card's text; empty without one.
    static QString uidOfCard(const QByteArray& text);
    // The text of one person's file.
    static QByteArray vCardOf(const AddressBookPerson& person, const QString& uid);

private:
    QString m_folder;
    bool m_open = false;
    QList<QPair<QString, AddressBookPerson>> m_pending;
    // The cards of the folder by their UID, read at open().
    QHash<QString, QString> m_cardByUid;
    int m_replaced = 0;
};
