#pragma once

namespace lumavo {

// Command numbers of the working windows. 1 and 2 are what Enter and Esc
// send; the others come from skin buttons.
enum CommandId : int {
    kCmdOk = 1,
    kCmdCancel = 2,
    kCmdEnter = 6001, // "enter": next step
    kCmdExit = 6002, // "cancel" of the template browser: end the program
    kCmdBack = 6004, // "cancel" of the working windows: back one step
    kCmdPhotoEdit = 6005, // "photoedit"
    kCmdPrint = 6006,
    kCmdSave = 6007,
};

} // namespace lumavo
