#pragma once

class QApplication;
class QString;

namespace lumavo {

// Qt's own Chinese translations (file, save, print dialogs, message-box
// buttons) and a Chinese interface font. Returns whether the translations
// were found; the interface works either way.
bool InstallChineseInterface(QApplication& app);

// The family the interface font resolved to (empty before the call).
QString InterfaceFontFamily();

} // namespace lumavo
