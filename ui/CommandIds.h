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
    kCmdSmartFraming = 6008, // "smartframe" of the layout window (also the F key)
    kCmdPhotoPick = 6009, // "photopick" of the template browser: "用相片选版"

    // The photo edit window's buttons.
    kCmdToneToolPick = 1052, // arms the tone tool's pick
    kCmdSemiAutoKeying = 1053, // "半自动抠像"
    kCmdRotateLeft = 1060, // "左转90度"
    kCmdRotateRight = 1061, // "右转90度"
    kCmdFlipHorizontal = 1062, // "水平翻转"
    kCmdFlipVertical = 1063, // "重直翻转"
    kCmdPhotoshop = 1064, // "Photoshop"
    kCmdReload = 1065, // "重新载入"
    kCmdSepia = 1090, // "怀旧风格"
    kCmdBlackWhite = 1094, // "黑白风格"
    kCmdAutoKeying = 1095, // "全自动去抠像"
    kCmdInitialPhoto = 1127, // "原始相片"
    kCmdSkinSmoothing = 1128, // "全自动皮肤美容"
    kCmdWhiteSpotPick = 1129, // arms the white-spot pick
    kCmdUndo = 1130, // "撤销"
};

} // namespace lumavo
