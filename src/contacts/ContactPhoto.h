// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// A contact's picture as vCard readers take it: JPEG or PNG. The device keeps
// its pictures as image files (JPEG mostly); anything else that decodes as an
// image is written as JPEG, and what does not decode is no picture.
struct ContactPhoto {
    QByteArray data;
    QString type; // "JPEG" or "PNG"; empty: no picture

    bool isEmpty() const { return type.isEmpty(); }

    // Any thread.
    static ContactPhoto fromDeviceBytes(const QByteArray& bytes);
};
