// The edit window's hand-offs to outside programs: the photo editor and the
// tone tool get the picture through the exchange file, "重新载入" brings the
// file back, and the keying software is checked for and installed.

#include "handoffs/ExchangeFile.h"
#include "handoffs/ExchangeFileWatch.h"
#include "handoffs/Handoffs.h"
#include "ui/BusyCursor.h"
#include "ui/PhotoCanvas.h"
#include "ui/PhotoEditDlg.h"

#include <QMessageBox>

namespace lumavo {

namespace {

const QString kUnexpectedError = QStringLiteral("发生不可预期的错误!");

} // namespace

void CPhotoEditDlg::TellHandoff(const Handoff& handoff)
{
    switch (handoff.result) {
    case HandoffResult::Started:
        return;
    case HandoffResult::NotRegistered:
        ShowMessage(QStringLiteral("错误：请安装Adodb Photoshop"));
        return;
    case HandoffResult::UnreadableValue:
        ShowMessage(QStringLiteral("错误：无法获得Adobe Photoshop正确安装位置!"));
        return;
    case HandoffResult::NotWritten:
        ShowMessage(kUnexpectedError);
        return;
    case HandoffResult::CouldNotStart:
        ReportStartFailure(handoff.program);
        return;
    }
}

void CPhotoEditDlg::WatchHandoff(const Handoff& handoff, const QString& done)
{
    if (!m_exchangeWatch) {
        m_exchangeWatch = new ExchangeFileWatch(this);
        connect(m_exchangeWatch, &ExchangeFileWatch::Rewritten, this, [this] {
            m_rewrittenNote = m_handoffDone;
            ShowPickHint();
        });
    }
    m_rewrittenNote.clear();
    m_handoffDone = done;
    if (handoff.result == HandoffResult::Started)
        m_exchangeWatch->Start(handoff.exchangeFile, handoff.handedOver);
    else
        m_exchangeWatch->Stop();
    ShowPickHint();
}

void CPhotoEditDlg::OpenInPhotoshop()
{
    if (!Current())
        return;
    const Handoff handoff = WhileBusy([&] { return HandToPhotoEditor(*Current()); });
    TellHandoff(handoff);
    WatchHandoff(handoff, QStringLiteral("外部软件已保存相片，请按“重新载入”"));
}

void CPhotoEditDlg::ReloadExchangeFile()
{
    std::unique_ptr<PhotoImage> reloaded = WhileBusy([this] { return lumavo::ReadExchangeFile(float(logicalDpiX())); });
    if (!reloaded) {
        ShowMessage(kUnexpectedError);
        return;
    }
    // The file is watched on: a program that saves again is told again.
    m_rewrittenNote.clear();
    ReplaceCurrent(std::move(reloaded));
    ShowPickHint();
}

void CPhotoEditDlg::ArmToneToolPick()
{
    ArmCanvasPick(kPickToneTool);
}

void CPhotoEditDlg::LaunchToneTool()
{
    if (!Current())
        return;
    const Handoff handoff = WhileBusy([&] { return HandToToneTool(*Current()); });
    TellHandoff(handoff);
    WatchHandoff(handoff, QStringLiteral("偏紫淡蓝处理完成，请按“重新载入”"));
}

void CPhotoEditDlg::EnsureKeyingSoftware()
{
    if (KeyingSoftwareRegistered())
        return;
    QMessageBox question(QMessageBox::Critical, windowTitle(), QStringLiteral("错误：是否现在安装全自动抠像软件"),
        QMessageBox::Yes | QMessageBox::No, this);
    if (question.exec() != QMessageBox::Yes)
        return;
    const KeyingInstall install = InstallKeyingSoftware();
    switch (install.result) {
    case KeyingResult::Installed:
    case KeyingResult::NotRegistered:
        return;
    case KeyingResult::NoFolderValue:
        ShowMessage(QStringLiteral("错误：目前还没有安装全自动抠像软件!"));
        return;
    case KeyingResult::CouldNotStart:
        ReportStartFailure(install.installer);
        return;
    }
}

} // namespace lumavo
