#pragma once

#include <QString>

namespace lumavo {

// Files beside the program are found from the executable's own location,
// never from the current folder.

// The folder of the running executable, ending with a separator.
QString ProgramFolder();
// Overrides the program folder (tests and tools that lay out a folder of their own).
void SetProgramFolderForTesting(const QString& folder);

// <program folder>/setting.ini
QString SettingsPath();

// Configuration keys of section "System" in setting.ini.
inline constexpr const char* kSettingsSection = "System";
inline constexpr const char* kTempPathKey = "TempPath";
inline constexpr const char* kQualityKey = "Quality";
inline constexpr const char* kCaptionKey = "Caption";
inline constexpr const char* kAlbumServerKey = "AlbumServer";

// The template root folder name beside the program.
inline constexpr const char* kTemplateRootName = "temple";
// The tool folder beside the program.
QString ToolFolderName();

// JPEG quality for saves: key Quality, 90 when the key is absent, empty, not
// a number or negative.
int ReadQuality(const QString& settingsPath);
constexpr int kDefaultQuality = 90;

// The configured caption line for finished pictures (key Caption); empty
// when the key is absent, and the built-in line applies.
QString ReadCaptionSetting(const QString& settingsPath);

// The album server: key AlbumServer (a folder or an http(s) address, no
// trailing separator); the program's own folder when the key is absent.
QString ReadAlbumServer(const QString& settingsPath);

} // namespace lumavo
