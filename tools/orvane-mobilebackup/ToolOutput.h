#pragma once

#include <QString>

// What the tool prints: results on standard output, reasons on standard error.
namespace ToolOutput {
void out(const QString& line);     // one line on standard output
void error(const QString& line);   // one line on standard error
void raw(const QByteArray& bytes); // bytes as they came, on standard output
} // namespace ToolOutput
