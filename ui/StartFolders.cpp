#include "ui/StartFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace lumavo {

namespace {

QString& Remembered(FolderUse use)
{
    static QString photos;
    static QString saves;
    return use == FolderUse::Photos ? photos : saves;
}

} // namespace

QString StartFolder(FolderUse use)
{
    const QString& remembered = Remembered(use);
    if (!remembered.isEmpty() && QFileInfo(remembered).isDir())
        return remembered;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QFileInfo(pictures).isDir())
        return pictures;
    return QDir::homePath();
}

void RememberFolder(FolderUse use, const QString& chosenFile)
{
    if (!chosenFile.isEmpty())
        Remembered(use) = QFileInfo(chosenFile).absolutePath();
}

} // namespace lumavo
