#include "ToolOutput.h"

#include <cstdio>

namespace ToolOutput {

void out(const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

void error(const QString& line)
{
    fflush(stdout);
    const QByteArray bytes = line.toUtf8() + '\n';
    fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    fflush(stderr);
}

void raw(const QByteArray& bytes)
{
    fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    fflush(stdout);
}

} // namespace ToolOutput
