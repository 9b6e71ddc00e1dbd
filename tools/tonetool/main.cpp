// The tone tool "偏紫淡蓝": the photo edit window starts it with the exchange
// file's path; it gives that picture a purplish light-blue tone and writes it
// back to the same path, where "重新载入" picks it up.

#include "ToneTool.h"
#include "imaging/LibraryMessages.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char* argv[])
{
    // The tool's own line is the only one on standard error.
    lumavo::KeepLibraryMessagesOffStandardError();
    // No GUI object: decoding and encoding pictures needs no display.
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    const lumavo::ToneToolResult result = lumavo::RunToneTool(arguments);
    if (result.exitCode != 0)
        std::fprintf(lumavo::OwnStandardError(), "%s\n", result.message.toLocal8Bit().constData());
    return result.exitCode;
}
