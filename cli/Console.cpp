#include "cli/Console.h"

#include "imaging/LibraryMessages.h"

#include <cstdio>

namespace lumavo::cli {

namespace {

void WriteLine(FILE* stream, const QString& line)
{
    const QByteArray bytes = (line + '\n').toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

void PrintOut(const QString& line)
{
    WriteLine(stdout, line);
}

void PrintErr(const QString& line)
{
    WriteLine(OwnStandardError(), line);
}

void PrintError(const QString& message)
{
    WriteLine(OwnStandardError(), QStringLiteral("错误：") + message);
}

void PrintWarning(const QString& message)
{
    WriteLine(OwnStandardError(), QStringLiteral("警告：") + message);
}

} // namespace lumavo::cli
