#pragma once

#include <QString>

namespace lumavo {

// Where the outside programs are registered (hive HKEY_LOCAL_MACHINE).
// The photo editor: the key's default value is the command that opens a file.
inline constexpr const char* kPhotoEditorKey = "SOFTWARE\\Classes\\Photoshop.PlugIn\\shell\\open\\command";
// The keying software: the key's presence means it is installed; its value
// "Pathname" names its installation folder.
inline constexpr const char* kKeyingSoftwareKey = "SOFTWARE\\Ultimatte\\AdvantEdge";
inline constexpr const char* kKeyingPathValue = "Pathname";

// Programs of the tool folder beside the executable (".exe" on Windows).
// The tone tool: gives the picture at the path it is given a purplish
// light-blue tone and writes it back to the same path.
QString ToneToolPath(); // <program folder>/增效工具包/偏紫淡蓝
// The keying software's installer.
QString KeyingInstallerPath(); // <program folder>/增效工具包/automatt

} // namespace lumavo
