// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

// One person as the contact transfer adds it to the computer's address book:
// single values (absent is not the same as empty: an empty name is still
// written), the company flag, and the labelled lists of web addresses, e-mail
// addresses, telephone numbers and postal addresses.
struct AddressBookPerson {
    enum class Label {
        HomePage,
        EmailHome,
        EmailWork,
        PhoneHome,
        PhoneWork,
        PhoneMobile,
        PhonePager,
        PhoneHomeFAX,
        PhoneWorkFAX,
        AddressHome,
        AddressWork,
    };

    struct Value {
        Label label = Label::EmailHome;
        QString value;
    };

    // The keys of one postal address; a key left absent is not written.
    struct Address {
        Label label = Label::AddressHome;
        std::optional<QString> street;
        std::optional<QString> country;
        std::optional<QString> countryCode;
        std::optional<QString> zip;
        std::optional<QString> city;
        std::optional<QString> state;

        bool isEmpty() const
        {
            return !street && !country && !countryCode && !zip && !city && !state;
        }
    };

    std::optional<QString> firstName;
    std::optional<QString> lastName;
    std::optional<QString> middleName;
    std::optional<QString> title; // the name prefix ("Dr.")
    std::optional<QString> suffix;
    std::optional<QString> jobTitle;
    std::optional<QString> organization;
    std::optional<QString> note;
    // Shown as a company rather than a person.
    bool isCompany = false;
    // The card's UID: a transfer of the same person again replaces its card.
    QString uid;
    std::optional<QDate> birthday;
    QStringList nickNames;
    // The picture as a vCard holds it: JPEG or PNG bytes and their type.
    QByteArray photo;
    QString photoType;

    QList<Value> urls;
    QList<Value> emails;
    QList<Value> phones;
    QList<Address> addresses;
};
