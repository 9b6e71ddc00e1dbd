#pragma once

#include <QString>

namespace lumavo {

// Where the file dialogs open: the folder of the last photo chosen (or the
// last picture saved) in this run, else the user's Pictures folder, else
// the home folder; never the program's current folder.
enum class FolderUse { Photos, Saves };

QString StartFolder(FolderUse use);
// Remembers the folder of a chosen file for the next dialog of that use.
void RememberFolder(FolderUse use, const QString& chosenFile);

} // namespace lumavo
