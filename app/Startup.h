#pragma once

#include <QString>
#include <QStringList>

namespace lumavo {

// The product name: the shortcuts' name.
inline constexpr const char* kProductName = "Lumavo";

// Writes TempPath (the program folder + "temple") into setting.ini; done at
// every start so a moved installation points at its own templates. False
// when setting.ini cannot be written (an installed folder users may not
// write): the template root is then that folder all the same, for this run.
bool WriteTemplateRoot();

// The template root, read at the moment of use: TempPath of setting.ini, or
// the program's own "temple" folder when the key is absent or when start-up
// could not write it.
QString TemplateRoot();

// (Re)creates the three shortcuts (desktop, Start menu, its programs
// folder) to the running executable.
void CreateShortcuts();
// One shortcut; an empty name or target shows the old complaint and
// writes nothing. A folder that cannot be resolved is skipped silently.
void CreateShortcut(int folderId, const QString& linkName, const QString& targetPath);

// False when an argument "Embedding" or "Automation" follows "-" or "/"
// (any letter case): the program was started by another program, no splash.
bool SplashWanted(const QStringList& arguments);

} // namespace lumavo
