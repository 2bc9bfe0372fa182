#pragma once

#include <QString>

// How one backed-up file is found: its name or identifier, its path within
// its domain, and the domain.
class QELDataTypeSearchReferenceElement {
public:
    QELDataTypeSearchReferenceElement() = default;

    static QELDataTypeSearchReferenceElement initWithSearchElement(const QString& searchElement)
    {
        return initWithSearchElementInDomain(searchElement, QStringLiteral("HomeDomain"));
    }
    static QELDataTypeSearchReferenceElement initWithSearchElementInDomain(const QString& searchElement, const QString& domain)
    {
        QELDataTypeSearchReferenceElement element;
        element.m_searchElement = searchElement;
        element.m_domain = domain;
        return element;
    }
    static QELDataTypeSearchReferenceElement initWithRelativeDevicePath(const QString& path)
    {
        return initWithRelativeDevicePathInDomain(path, QStringLiteral("HomeDomain"));
    }
    static QELDataTypeSearchReferenceElement initWithRelativeDevicePathInDomain(const QString& path, const QString& domain)
    {
        QELDataTypeSearchReferenceElement element;
        element.m_relativeDevicePath = path;
        element.m_domain = domain;
        return element;
    }
    static QELDataTypeSearchReferenceElement initWithSearchElementAndRelativeDevicePath(const QString& searchElement, const QString& path)
    {
        QELDataTypeSearchReferenceElement element;
        element.m_searchElement = searchElement;
        element.m_relativeDevicePath = path;
        element.m_domain = QStringLiteral("HomeDomain");
        return element;
    }

    QString searchElement() const { return m_searchElement; }
    void setSearchElement(const QString& value) { m_searchElement = value; }
    QString relativeDevicePath() const { return m_relativeDevicePath; }
    void setRelativeDevicePath(const QString& value) { m_relativeDevicePath = value; }
    QString domain() const { return m_domain; }
    void setDomain(const QString& value) { m_domain = value; }

private:
    QString m_searchElement;
    QString m_relativeDevicePath;
    QString m_domain;
};
