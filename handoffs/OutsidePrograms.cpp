#include "handoffs/OutsidePrograms.h"

#include "platform/ProgramFolder.h"

namespace lumavo {

namespace {

QString ToolProgram(const QString& name)
{
#ifdef Q_OS_WIN
    const QString suffix = QStringLiteral(".exe");
#else
    const QString suffix;
#endif
    return ProgramFolder() + ToolFolderName() + u'/' + name + suffix;
}

} // namespace

QString ToneToolPath()
{
    return ToolProgram(QStringLiteral("偏紫淡蓝"));
}

QString KeyingInstallerPath()
{
    return ToolProgram(QStringLiteral("automatt"));
}

} // namespace lumavo
