// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>

// The round picture of a contact's page: the centred square of the contact's
// photo, else the capital initials in white on light grey, clipped to the
// circle inscribed in a square. Stateless; any thread.
class QELAddressBookImage {
public:
    // The light grey behind the initials (and behind a transparent photo).
    static QColor backgroundColor();

    // A square image of `size` pixels (the size's whole part; at least 1),
    // ARGB32 premultiplied, transparent outside the circle. A null contact
    // image gives the initials: the first character of each name that holds
    // more than blanks, in capitals; with no such name the circle stays grey.
    static QImage generateAddressBookImageWithFirstNameSecondNameContactImageSize(
        const QString& firstName, const QString& secondName, const QImage& contactImage,
        double size);

    // Decodes a contact's picture bytes; null when they hold no image. A photo
    // far larger than `side` is decoded at a reduced size, still larger than
    // `side`, so a camera photo does not stall the page.
    static QImage decodePicture(const QByteArray& bytes, int side);
};
