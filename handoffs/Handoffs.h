#pragma once

#include "handoffs/FileStamp.h"
#include "imaging/PhotoImage.h"

#include <QString>

namespace lumavo {

// The hand-off sequences to outside programs, each run to its end and
// answered with what became of it. The windows only tell the operator.

// Handing a picture to the photo editor or the tone tool.
enum class HandoffResult {
    Started, // the exchange file was written and the program started
    NotRegistered, // the photo editor's registry key is absent
    UnreadableValue, // the key is there, its command cannot be read or is empty
    NotWritten, // the exchange file could not be written
    CouldNotStart, // the program could not be started
};

struct Handoff {
    HandoffResult result = HandoffResult::Started;
    // The program that was (or could not be) started; the exchange file.
    QString program;
    QString exchangeFile;
    // The exchange file as it was written, before the program started.
    FileStamp handedOver;
};

// Reads the photo editor's command from the registry (before anything is
// written, so a machine without the editor gets no exchange file), writes the
// picture as the exchange file and starts the editor on it.
Handoff HandToPhotoEditor(PhotoImage& picture);

// Writes the picture as the exchange file and starts the tone tool of the
// tool folder on it.
Handoff HandToToneTool(PhotoImage& picture);

// The keying software.
enum class KeyingResult {
    Installed, // registered with its installation folder
    NotRegistered, // no key (before the installer, or after it ran)
    NoFolderValue, // the key is there without its installation folder
    CouldNotStart, // the installer could not be started
};

// Whether the keying software's key is registered.
bool KeyingSoftwareRegistered();

struct KeyingInstall {
    KeyingResult result = KeyingResult::Installed;
    QString installer;
};

// Runs the installer of the tool folder, waits for it (the windows keep
// painting) and reads the registry afresh.
KeyingInstall InstallKeyingSoftware();

} // namespace lumavo
