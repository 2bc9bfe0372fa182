// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QDate>
#include <QMetaType>
#include <QString>

// The contacts store's entities: one person of the device's address book with
// the details that belong to it. Text fields tell absent (a column the
// database lacks, a field nothing filled) from empty (SQL NULL reads as the
// empty text), as the vCard export and the transfer write an empty value but
// not an absent one. Numbers are small values or 0/1 flags.
//
// The contact page, the view and both exports share these objects; a job
// keeps the contacts of its queue alive after the store that made them.

// Whether two optional values are both absent, or both present and equal
// (texts compared exactly, case and spacing included).
template <typename T> bool optionalEquals(const std::optional<T>& a, const std::optional<T>& b)
{
    return a.has_value() == b.has_value() && (!a || *a == *b);
}

class QELContactAddress {
public:
    std::optional<QString> streetAddress;
    std::optional<QString> extendedAddress;
    std::optional<QString> postOfficeBox;
    std::optional<QString> locality; // city
    std::optional<QString> region;   // state
    std::optional<QString> postCode;
    std::optional<QString> country;
    std::optional<QString> countryCode;
    std::optional<qint64> location; // 1 home, 2 work
    std::optional<qint64> deliveryTypeGeo;
    std::optional<qint64> deliveryTypePhysical;
    // The device's label text, as the address book keeps it; absent without one.
    std::optional<QString> deviceLabel;

    // The same address: every field but countryCode (and the label) equal.
    bool compare(const QELContactAddress& other) const;
};

class QELContactEMail {
public:
    std::optional<QString> emailAddress;
    std::optional<qint64> locationType; // 1 home, 2 work
    std::optional<qint64> isPrefered;
    std::optional<QString> deviceLabel;

    bool compare(const QELContactEMail& other) const;
};

class QELContactTelephone {
public:
    std::optional<QString> telephoneNumber;
    std::optional<qint64> locationType; // 1 home, 2 work
    std::optional<qint64> isVoice;
    std::optional<qint64> isCell;
    std::optional<qint64> isFax;
    std::optional<qint64> isBBS;
    std::optional<qint64> isISDN;
    std::optional<qint64> isModem;
    std::optional<qint64> isPager;
    std::optional<qint64> isPCS;
    std::optional<qint64> isVideo;
    std::optional<qint64> isvoiceMailCapable;
    std::optional<QString> deviceLabel;

    // Every flag and the location type equal, then the number exactly.
    bool compare(const QELContactTelephone& other) const;
};

class QELContactNickName {
public:
    std::optional<QString> nickName;

    bool compare(const QELContactNickName& other) const;
};

using QELContactAddressPtr = std::shared_ptr<QELContactAddress>;
using QELContactEMailPtr = std::shared_ptr<QELContactEMail>;
using QELContactTelephonePtr = std::shared_ptr<QELContactTelephone>;
using QELContactNickNamePtr = std::shared_ptr<QELContactNickName>;

class QELContact {
public:
    std::optional<qint64> uid; // the person's ABPerson ROWID
    std::optional<QString> givenName;
    std::optional<QString> additionalName;
    std::optional<QString> familyName;
    std::optional<QString> honorificPrefixes;
    std::optional<QString> honorificSuffixes;
    std::optional<QString> organisation;
    std::optional<QString> title; // job title
    std::optional<QString> note;
    // The display name built from the name parts; may be empty.
    std::optional<QString> FN;
    // The list and sort key: FN when not empty, else the organisation; also
    // the vCard file's name.
    std::optional<QString> searchReference;
    std::optional<QString> url;
    // The device's label of the web address.
    std::optional<QString> urlLabel;
    // Image file bytes as the device stores them; null when none.
    QByteArray picture;
    std::optional<QDate> birthday;
    std::optional<QString> role;
    QByteArray image;

    // Unordered sets in the model; kept in the order they were read.
    std::vector<QELContactAddressPtr> addresses;
    std::vector<QELContactEMailPtr> emails;
    std::vector<QELContactNickNamePtr> nickNames;
    std::vector<QELContactTelephonePtr> telephones;
};

using QELContactPtr = std::shared_ptr<QELContact>;

// Contacts travel in a copy job's item queue.
Q_DECLARE_METATYPE(QELContactPtr)
