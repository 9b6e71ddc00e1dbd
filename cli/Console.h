#pragma once

#include <QString>

namespace lumavo::cli {

// One line on standard output, in the system's text encoding.
void PrintOut(const QString& line);
// One line on standard error.
void PrintErr(const QString& line);
// An error line: "错误：" followed by the message.
void PrintError(const QString& message);
// A warning line: "警告：" followed by the message (the command carries on).
void PrintWarning(const QString& message);

} // namespace lumavo::cli
