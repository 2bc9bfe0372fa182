// SPDX-License-Identifier: GPL-3.0-or-later
#include "DescriptorWrite.h"

#include <cerrno>

#include <unistd.h>

bool writeAllToDescriptor(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t put = ::write(fd, data, static_cast<size_t>(size));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        data += put;
        size -= put;
    }
    return true;
}
