#include "MD5CheckSum.h"

#include <QCryptographicHash>
#include <QFile>

QString MD5CheckSum::MD5StringForFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (!hash.addData(&file))
        return {};
    return QString::fromLatin1(hash.result().toHex().toUpper());
}
