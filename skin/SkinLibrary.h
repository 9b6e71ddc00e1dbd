#pragma once

#include <QString>

class QAbstractButton;
class QWidget;

namespace lumavo::skin {

// The skin layer. Its data (the skin objects "Dialog", "main", "select" and
// "print": colours, window size, buttons and the command each button sends)
// is compiled into the program as the resource "lmvface" of type "AAA".
// Callers make the calls in this order: InitSkinLibrary, LoadSkinResource,
// SetDialogSkin once at start-up; SetWindowSkin and SetSkinButtonTip per
// window. No result needs examining: a window without its skin still works
// through its keys.

// Makes the layer ready; the key is the licence text the program passes.
bool InitSkinLibrary(const QString& key);
// Loads the skin data from the program's own resource of that name and type.
bool LoadSkinResource(const QString& name, const QString& type);
// Every dialog shown afterwards (standard dialogs included) gets this object's look.
bool SetDialogSkin(const QString& objectName);
// Gives a window the look of a skin object and adds its buttons; a button
// click sends the window the button's command (see skin/CommandEvent.h).
bool SetWindowSkin(QWidget* window, const QString& objectName);
// The tooltip of a named skin button of a window.
bool SetSkinButtonTip(QWidget* window, const QString& buttonName, const QString& tip);

// The named skin button of a window, or null (used by tests and screenshots).
QAbstractButton* FindSkinButton(QWidget* window, const QString& buttonName);

} // namespace lumavo::skin
