#include "handoffs/RegisteredCommand.h"

#include <QFileInfo>
#include <QProcess>

namespace lumavo {

namespace {

// Puts the file into the arguments: "%1" (and the shell's "%L", the long
// name) anywhere inside an argument, such as --file=%1; "%*" (the shell's
// further arguments) stands for none. Each argument is replaced as a whole,
// so the path is never split at its blanks. Without a placeholder the file
// goes last.
QStringList WithFile(const QStringList& arguments, const QString& filePath)
{
    QStringList result;
    bool placed = false;
    for (QString argument : arguments) {
        if (argument == u"%*")
            continue;
        QString filled;
        for (qsizetype i = 0; i < argument.size(); ++i) {
            const QChar c = argument.at(i);
            if (c == u'%' && i + 1 < argument.size()) {
                const QChar next = argument.at(i + 1);
                if (next == u'1' || next == u'L' || next == u'l') {
                    filled += filePath;
                    placed = true;
                    ++i;
                    continue;
                }
            }
            filled += c;
        }
        result << filled;
    }
    if (!placed)
        result << filePath;
    return result;
}

} // namespace

ProgramCall CommandForFile(const QString& command, const QString& filePath)
{
    const QString text = command.trimmed();
    if (text.isEmpty())
        return {};

    ProgramCall call;
    if (text.startsWith(u'"')) {
        // "C:\Program Files\editor.exe" "%1" -x: the program is the quoted
        // part; a missing closing quote makes the rest of the text the program.
        const qsizetype close = text.indexOf(u'"', 1);
        if (close < 0) {
            call.program = text.mid(1);
            call.arguments = WithFile({}, filePath);
        } else {
            call.program = text.mid(1, close - 1);
            call.arguments = WithFile(QProcess::splitCommand(text.mid(close + 1)), filePath);
        }
        return call;
    }

    // An unquoted path with blanks that names an existing program.
    if (QFileInfo(text).isFile()) {
        call.program = text;
        call.arguments = { filePath };
        return call;
    }

    QStringList parts = QProcess::splitCommand(text);
    if (parts.isEmpty())
        return {};
    call.program = parts.takeFirst();
    call.arguments = WithFile(parts, filePath);
    return call;
}

} // namespace lumavo
