#pragma once

#include <QString>

class MD5CheckSum {
public:
    // The MD5 digest of the whole file as 32 upper-case hexadecimal digits;
    // a null string when the file cannot be read.
    static QString MD5StringForFile(const QString& path);
};
