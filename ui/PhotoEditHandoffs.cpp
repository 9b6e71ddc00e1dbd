// The edit window's hand-offs to outside programs: the photo editor and the
// tone tool get the picture through the exchange file, "重新载入" brings the
// file back, and the keying software is checked for and installed.

#include "handoffs/ExchangeFile.h"
#include "handoffs/OutsidePrograms.h"
#include "handoffs/RegisteredCommand.h"
#include "platform/ProcessLauncher.h"
#include "platform/Registry.h"
#include "ui/BusyCursor.h"
#include "ui/PhotoCanvas.h"
#include "ui/PhotoEditDlg.h"

#include <QDir>
#include <QMessageBox>

namespace lumavo {

namespace {

const QString kUnexpectedError = QStringLiteral("发生不可预期的错误!");

} // namespace

QString CPhotoEditDlg::HandOverCurrentPicture()
{
    QString path;
    if (WhileBusy([&] { return WriteExchangeFile(*Current(), &path); }) != Ok) {
        ShowMessage(kUnexpectedError);
        return QString();
    }
    return path;
}

void CPhotoEditDlg::OpenInPhotoshop()
{
    if (!Current())
        return;
    // The registry is read first, so a machine without the editor gets no exchange file.
    if (!RegistryKeyExists(RegistryHive::LocalMachine, QString::fromLatin1(kPhotoEditorKey))) {
        ShowMessage(QStringLiteral("错误：请安装Adodb Photoshop"));
        return;
    }
    const std::optional<QString> command
        = ReadRegistryValue(RegistryHive::LocalMachine, QString::fromLatin1(kPhotoEditorKey), QString());
    if (!command || command->trimmed().isEmpty()) {
        ShowMessage(QStringLiteral("错误：无法获得Adobe Photoshop正确安装位置!"));
        return;
    }
    const QString path = HandOverCurrentPicture();
    if (path.isEmpty())
        return;
    const ProgramCall call = CommandForFile(*command, QDir::toNativeSeparators(path));
    if (!StartProgram(call.program, call.arguments))
        ReportStartFailure(call.program);
}

void CPhotoEditDlg::ReloadExchangeFile()
{
    std::unique_ptr<PhotoImage> reloaded = WhileBusy([this] { return lumavo::ReadExchangeFile(float(logicalDpiX())); });
    if (!reloaded) {
        ShowMessage(kUnexpectedError);
        return;
    }
    ReplaceCurrent(std::move(reloaded));
}

void CPhotoEditDlg::ArmToneToolPick()
{
    ArmCanvasPick(kPickToneTool);
}

void CPhotoEditDlg::LaunchToneTool()
{
    if (!Current())
        return;
    const QString path = HandOverCurrentPicture();
    if (path.isEmpty())
        return;
    const QString tool = ToneToolPath();
    if (!StartProgram(tool, { QDir::toNativeSeparators(path) }))
        ReportStartFailure(tool);
}

void CPhotoEditDlg::EnsureKeyingSoftware()
{
    const QString key = QString::fromLatin1(kKeyingSoftwareKey);
    if (RegistryKeyExists(RegistryHive::LocalMachine, key))
        return;
    QMessageBox question(QMessageBox::Critical, windowTitle(), QStringLiteral("错误：是否现在安装全自动抠像软件"),
        QMessageBox::Yes | QMessageBox::No, this);
    if (question.exec() != QMessageBox::Yes)
        return;
    const QString installer = KeyingInstallerPath();
    if (!lumavo::RunAndWait(installer)) {
        ReportStartFailure(installer);
        return;
    }
    if (!RegistryKeyExists(RegistryHive::LocalMachine, key))
        return;
    if (!ReadRegistryValue(RegistryHive::LocalMachine, key, QString::fromLatin1(kKeyingPathValue)))
        ShowMessage(QStringLiteral("错误：目前还没有安装全自动抠像软件!"));
}

} // namespace lumavo
