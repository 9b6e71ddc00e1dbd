#include "handoffs/FileStamp.h"

#include <QDateTime>
#include <QFileInfo>

namespace lumavo {

FileStamp FileStamp::Of(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return {};
    return { info.size(), info.lastModified().toMSecsSinceEpoch() };
}

} // namespace lumavo
