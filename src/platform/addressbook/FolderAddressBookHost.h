// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QPair>

#include "AddressBookHost.h"

// The computer's address book as a vCard collection in the vdir layout that
// contact programs on Linux share: the folder
// "<data home>/contacts/<collection>", where the collection is the setting
// "AddressBookCollection" ("default" when unset or not a plain folder name),
// holding one "<uid>.vcf" per person. save() writes each file under a
// temporary name and then renames it.
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

    // The text of one person's file.
    static QByteArray vCardOf(const AddressBookPerson& person, const QString& uid);

private:
    QString m_folder;
    bool m_open = false;
    QList<QPair<QString, AddressBookPerson>> m_pending;
};
