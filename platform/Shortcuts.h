#pragma once

#include <QString>

namespace lumavo {

// Shell special folders that get the program's shortcuts (the old shell
// folder numbers). On freedesktop systems the desktop is the user's desktop
// folder and the Start menu and its programs folder are both the user's
// applications menu.
enum ShellFolder : int {
    kShellFolderDesktop = 0,
    kShellFolderPrograms = 2,
    kShellFolderStartMenu = 11,
};

// The folder's path, or empty when it cannot be resolved.
QString ShellFolderPath(int folderId);

enum class ShortcutResult {
    Created,
    NoFolder, // the special folder cannot be resolved; skipped
    Failed, // the link file could not be written
};

// Writes the shortcut linkName in the special folder, pointing at the
// target and nothing else (no arguments, working folder or icon); a
// shortcut of the same name is replaced. Windows: linkName + ".lnk";
// freedesktop: linkName + ".desktop".
ShortcutResult WriteShortcut(int folderId, const QString& linkName, const QString& targetPath);

// The file WriteShortcut writes for a folder and link name.
QString ShortcutFilePath(int folderId, const QString& linkName);

} // namespace lumavo
