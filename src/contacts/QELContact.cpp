// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELContact.h"

bool QELContactAddress::compare(const QELContactAddress& o) const
{
    return optionalEquals(country, o.country) && optionalEquals(deliveryTypeGeo, o.deliveryTypeGeo)
        && optionalEquals(deliveryTypePhysical, o.deliveryTypePhysical)
        && optionalEquals(extendedAddress, o.extendedAddress)
        && optionalEquals(locality, o.locality) && optionalEquals(location, o.location)
        && optionalEquals(postCode, o.postCode) && optionalEquals(postOfficeBox, o.postOfficeBox)
        && optionalEquals(region, o.region) && optionalEquals(streetAddress, o.streetAddress);
}

bool QELContactEMail::compare(const QELContactEMail& o) const
{
    return optionalEquals(emailAddress, o.emailAddress) && optionalEquals(isPrefered, o.isPrefered)
        && optionalEquals(locationType, o.locationType);
}

bool QELContactTelephone::compare(const QELContactTelephone& o) const
{
    return optionalEquals(isBBS, o.isBBS) && optionalEquals(isCell, o.isCell)
        && optionalEquals(isFax, o.isFax) && optionalEquals(isISDN, o.isISDN)
        && optionalEquals(isModem, o.isModem) && optionalEquals(isPager, o.isPager)
        && optionalEquals(isPCS, o.isPCS) && optionalEquals(isVideo, o.isVideo)
        && optionalEquals(isVoice, o.isVoice)
        && optionalEquals(isvoiceMailCapable, o.isvoiceMailCapable)
        && optionalEquals(locationType, o.locationType)
        && optionalEquals(telephoneNumber, o.telephoneNumber);
}

bool QELContactNickName::compare(const QELContactNickName& o) const
{
    return optionalEquals(nickName, o.nickName);
}
