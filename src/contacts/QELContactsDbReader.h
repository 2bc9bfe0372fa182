// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include <QHash>
#include <QString>

#include "QELContactsReader.h"
#include "QELSQLiteDatabase.h"

class QELSQLiteStatement;

// Fills the contacts store from private copies of the device's address book,
// AddressBook.sqlitedb (people and their values) and AddressBookImages.sqlitedb
// (pictures: ABImage, else ABFullSizeImage, else ABThumbnailImage), then
// merges duplicates. Columns and tables that a system version lacks leave
// their fields unset. Every statement is prepared once per read and its
// values bound.
//
// Blocking: worker threads (tools and tests call from their main thread).
class QELContactsDbReader : public QELContactsReader {
public:
    // A reader of the two databases; a null pictures path reads no pictures.
    // None when no store can be made.
    static std::unique_ptr<QELContactsDbReader> initWithContactsDbPathAndPicturesDb(
        const QString& contactsPath, const QString& picturesPath);

    // Reads every person into the store, merges duplicates and saves. The
    // address book is one read with one step budget, its pictures another. False
    // only when there is no contacts database file; lastError() says when
    // the file could not be read. A statement of the address book that fails
    // or runs out of the budget ends the read ("this database is damaged:
    // ..."), and the store then holds no contact: an address book read in
    // part would look whole.
    bool loadContacts() override;
    QString lastError() const { return m_lastError; }
    // Why the pictures database gave no pictures although it is there (it
    // is empty, damaged or holds no picture table); empty when it was read,
    // or when there is none. Pictures that cannot all be read are none: the
    // people are kept without them.
    QString picturesError() const { return m_picturesError; }
    // The budget of each of the two reads when it is shorter than the
    // connections' own (tests, tools that must answer quickly); 0: theirs.
    void setReadBudget(std::chrono::milliseconds budget) { m_readBudget = budget; }

    // The text of a label number (an ABMultiValueLabel row); none for a
    // number the table does not hold. The table is read once per load.
    std::optional<QString> _getLabel(qint64 number) const;

private:
    QELContactsDbReader() = default;
    void readLabels();
    void readPeople(std::vector<std::shared_ptr<QELContact>>& people);
    void readValues(QELSQLiteStatement& values, QELSQLiteStatement& parts, QELContact& contact);
    void readPictures(const std::vector<std::shared_ptr<QELContact>>& people);

    QELSQLiteDatabase _contactsDatabase;
    QELSQLiteDatabase _contactsPicturesDatabase;
    QString _dbPicturesPath;
    QHash<qint64, QString> m_labels;
    QString m_lastError;
    QString m_picturesError;
    std::chrono::milliseconds m_readBudget{0};
};
