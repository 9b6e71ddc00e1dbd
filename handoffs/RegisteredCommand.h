#pragma once

#include <QString>
#include <QStringList>

namespace lumavo {

// A program and its arguments, ready to start.
struct ProgramCall {
    QString program;
    QStringList arguments;
};

// Turns a registered command and the file to open into a program call:
// - a quoted program ("C:\...\editor.exe" "%1" -x) is split into program and
//   arguments, each "%1" replaced by the file path;
// - text naming an existing file, blanks and all, is the program as a whole;
// - otherwise the text is split at blanks (quotes group) into program and
//   arguments;
// - without a "%1" the file path is added as the last argument.
// The file path is always one argument. An empty command gives an empty program.
ProgramCall CommandForFile(const QString& command, const QString& filePath);

} // namespace lumavo
