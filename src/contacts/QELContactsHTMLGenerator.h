// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "QELContact.h"

// The page of one contact, as the contacts view shows it: a header with the
// round picture, the name, organisation, role and job title, then the
// e-mail addresses, telephone numbers, postal addresses, the web address and
// the note. Every value of the contact is escaped; the captions are looked up
// in the string table. Stateless; any thread.
class QELContactsHTMLGenerator {
public:
    // The side of the header's picture, in pixels.
    static constexpr double kPictureSize = 75.0;

    static QString generateHTMLForContact(const QELContact& contact);
    // The page's style sheet, a STYLE element.
    static QString _styles();

    // The caption of an e-mail address's row ("Home :"), empty without a location.
    static QString emailLabel(const QELContactEMail& email);
    // The caption of a telephone number's row: its location, then "mobile"
    // and "fax" as its flags say, joined as they stand.
    static QString telephoneLabel(const QELContactTelephone& telephone);
    // The caption of a postal address's row, not trimmed.
    static QString addressLabel(const QELContactAddress& address);

    // The picture's img element: a PNG in a data URI.
    static QString pictureElement(const QELContact& contact);
};
