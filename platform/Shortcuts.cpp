#include "Shortcuts.h"

namespace lumavo {

QString ShortcutFilePath(int folderId, const QString& linkName)
{
#ifdef _WIN32
    static const QLatin1String suffix(".lnk");
#else
    static const QLatin1String suffix(".desktop");
#endif
    const QString folder = ShellFolderPath(folderId);
    if (folder.isEmpty())
        return QString();
    return folder + u'/' + linkName + suffix;
}

} // namespace lumavo
