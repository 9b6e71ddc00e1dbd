#pragma once

class QFileDialog;

namespace lumavo {

// The file dialogs' list shows modification dates the Chinese way
// (2024/3/5 14:07), whatever locale the system runs in: the list itself
// formats them in the system's locale, which on a kiosk is often plain C.
void ShowChineseDates(QFileDialog* dialog);

} // namespace lumavo
