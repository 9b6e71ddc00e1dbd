// The skin layer: its buttons send the fixed commands, leave Enter/Esc alone
// and keep clear of the working windows' fixed controls.
#include "skin/SkinData.h"
#include "skin/SkinLibrary.h"
#include "ui/CommandDialog.h"
#include "ui/CommandIds.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

namespace lumavo {
namespace {

using Buttons = std::map<QString, int>; // name -> command

const std::map<QString, Buttons>& ExpectedButtons()
{
    static const std::map<QString, Buttons> expected {
        { "main", { { "enter", kCmdEnter }, { "cancel", kCmdExit }, { "photopick", kCmdPhotoPick } } },
        { "select",
            { { "enter", kCmdEnter }, { "cancel", kCmdBack }, { "photoedit", kCmdPhotoEdit },
                { "smartframe", kCmdSmartFraming } } },
        { "print", { { "print", kCmdPrint }, { "save", kCmdSave }, { "cancel", kCmdBack } } },
    };
    return expected;
}

class RecordingDialog : public CCommandDialog {
public:
    RecordingDialog()
    {
        for (int id : { kCmdOk, kCmdCancel, kCmdEnter, kCmdExit, kCmdBack, kCmdPhotoEdit, kCmdPrint, kCmdSave,
                 kCmdSmartFraming, kCmdPhotoPick })
            MapCommand(id, [this, id] { commands.push_back(id); });
    }
    std::vector<int> commands;
};

std::vector<QPushButton*> SkinButtonsOf(QWidget* window)
{
    std::vector<QPushButton*> buttons;
    for (QPushButton* button : window->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (button->property("skinButton").isValid())
            buttons.push_back(button);
    }
    return buttons;
}

void PressKey(QWidget* window, int key)
{
    // The key goes where a real one would: to the focus widget, if the
    // window has one, and bubbles up from there.
    QWidget* target = window->focusWidget() ? window->focusWidget() : window;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

double Luminance(const QColor& c)
{
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double Contrast(const QColor& a, const QColor& b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

class SkinTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        skin::InitSkinLibrary(QStringLiteral("Demo"));
        ASSERT_TRUE(skin::LoadSkinResource(QStringLiteral("lmvface"), QStringLiteral("AAA")));
    }
    // The dialog skin is process-wide; other suites get the look they had.
    void SetUp() override
    {
        m_styleSheet = qApp->styleSheet();
        m_palette = QApplication::palette();
    }
    void TearDown() override
    {
        qApp->setStyleSheet(m_styleSheet);
        QApplication::setPalette(m_palette);
    }

private:
    QString m_styleSheet;
    QPalette m_palette;
};

TEST_F(SkinTest, ButtonsSendTheirCommandsAndCarryTips)
{
    for (const auto& [object, buttons] : ExpectedButtons()) {
        SCOPED_TRACE(object.toStdString());
        RecordingDialog dialog;
        ASSERT_TRUE(skin::SetWindowSkin(&dialog, object));
        EXPECT_EQ(SkinButtonsOf(&dialog).size(), buttons.size());
        for (const auto& [name, command] : buttons) {
            QAbstractButton* button = skin::FindSkinButton(&dialog, name);
            ASSERT_NE(button, nullptr) << name.toStdString();
            EXPECT_FALSE(button->text().isEmpty());
            dialog.commands.clear();
            button->click();
            EXPECT_EQ(dialog.commands, std::vector<int> { command }) << name.toStdString();

            const QString tip = QStringLiteral("提示 ") + name;
            EXPECT_TRUE(skin::SetSkinButtonTip(&dialog, name, tip));
            EXPECT_EQ(button->toolTip(), tip);
        }
        EXPECT_FALSE(skin::SetSkinButtonTip(&dialog, QStringLiteral("nosuchbutton"), QStringLiteral("x")));
    }

    // Skinning again replaces the buttons (one click, one command) and keeps their tips.
    RecordingDialog dialog;
    skin::SetWindowSkin(&dialog, QStringLiteral("select"));
    skin::SetSkinButtonTip(&dialog, QStringLiteral("enter"), QStringLiteral("点这里可以下一步!"));
    skin::SetWindowSkin(&dialog, QStringLiteral("select"));
    ASSERT_EQ(SkinButtonsOf(&dialog).size(), 4u);
    QAbstractButton* enter = skin::FindSkinButton(&dialog, QStringLiteral("enter"));
    ASSERT_NE(enter, nullptr);
    EXPECT_EQ(enter->toolTip(), QStringLiteral("点这里可以下一步!"));
    enter->click();
    EXPECT_EQ(dialog.commands, std::vector<int> { kCmdEnter });
}

TEST_F(SkinTest, EnterAndEscStillReachCommandsOneAndTwo)
{
    for (const auto& [object, buttons] : ExpectedButtons()) {
        for (bool withEditBox : { false, true }) {
            SCOPED_TRACE(object.toStdString() + (withEditBox ? " with edit box" : ""));
            RecordingDialog dialog;
            if (withEditBox)
                new QLineEdit(&dialog); // owned by the dialog, like the browser's name box
            skin::SetWindowSkin(&dialog, object);
            dialog.show();
            dialog.activateWindow();
            QApplication::processEvents();
            for (QPushButton* button : SkinButtonsOf(&dialog)) {
                EXPECT_FALSE(button->hasFocus());
                EXPECT_FALSE(button->autoDefault());
                EXPECT_FALSE(button->isDefault());
            }
            PressKey(&dialog, Qt::Key_Return);
            PressKey(&dialog, Qt::Key_Escape);
            EXPECT_EQ(dialog.commands, (std::vector<int> { kCmdOk, kCmdCancel }));
        }
    }
}

TEST_F(SkinTest, ButtonsKeepClearOfTheWindowsFixedControls)
{
    struct Layout {
        QString object;
        QSize screenClient; // the client area the window gets (the browser: the whole screen)
        std::vector<QRect> fixed; // controls the windows place themselves
        QRect band; // where the buttons must lie
    };
    const std::vector<Layout> layouts {
        { "main", { 800, 600 }, { { 80, 60, 640, 460 }, { 80, 520, 640, 20 }, { 385, 555, 60, 30 } },
            { 0, 550, 800, 40 } },
        // The canvas and the status line under it.
        { "select", {}, { { 80, 60, 640, 480 }, { 80, 542, 640, 24 } }, {} },
        { "print", {}, { { 80, 60, 640, 480 }, { 730, 60, 60, 400 } }, {} },
    };
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.object.toStdString());
        RecordingDialog dialog;
        dialog.resize(300, 200);
        skin::SetWindowSkin(&dialog, layout.object);
        if (layout.screenClient.isValid()) {
            dialog.resize(layout.screenClient);
        } else {
            // Room for a title bar on an 800 x 600 screen.
            EXPECT_LE(dialog.width(), 800);
            EXPECT_LE(dialog.height(), 575);
        }
        const QRect client = dialog.rect();
        const QRect band = layout.band.isValid() ? layout.band : client;
        for (const QRect& control : layout.fixed)
            EXPECT_TRUE(client.contains(control));
        const auto buttons = SkinButtonsOf(&dialog);
        for (QPushButton* button : buttons) {
            SCOPED_TRACE(button->objectName().toStdString());
            const QRect r = button->geometry();
            EXPECT_TRUE(band.contains(r));
            for (const QRect& control : layout.fixed)
                EXPECT_FALSE(r.intersects(control));
            for (QPushButton* other : buttons)
                EXPECT_TRUE(other == button || !r.intersects(other->geometry()));
            button->ensurePolished();
            EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), r.width() - 4) << "label cut";
        }
    }
}

TEST_F(SkinTest, DialogSkinIsReadable)
{
    ASSERT_TRUE(skin::SetDialogSkin(QStringLiteral("Dialog")));
    EXPECT_FALSE(qApp->styleSheet().isEmpty());
    const QPalette p = QApplication::palette();
    EXPECT_GE(Contrast(p.color(QPalette::WindowText), p.color(QPalette::Window)), 7.0);
    EXPECT_GE(Contrast(p.color(QPalette::ButtonText), p.color(QPalette::Button)), 7.0);
    EXPECT_GE(Contrast(p.color(QPalette::Text), p.color(QPalette::Base)), 7.0);
    EXPECT_GE(Contrast(p.color(QPalette::HighlightedText), p.color(QPalette::Highlight)), 4.5);
    // Greyed-out controls must still look greyed out.
    EXPECT_NE(p.color(QPalette::Disabled, QPalette::ButtonText), p.color(QPalette::Active, QPalette::ButtonText));
    EXPECT_NE(p.color(QPalette::Disabled, QPalette::Text), p.color(QPalette::Active, QPalette::Text));

    const QString before = qApp->styleSheet();
    EXPECT_FALSE(skin::SetDialogSkin(QStringLiteral("nosuchobject")));
    EXPECT_EQ(qApp->styleSheet(), before);
}

TEST_F(SkinTest, UnknownNamesAndBrokenDataDoNoHarm)
{
    RecordingDialog dialog;
    dialog.resize(300, 200);
    EXPECT_FALSE(skin::SetWindowSkin(&dialog, QStringLiteral("nosuchobject")));
    EXPECT_FALSE(skin::SetWindowSkin(nullptr, QStringLiteral("select")));
    EXPECT_TRUE(SkinButtonsOf(&dialog).empty());
    EXPECT_EQ(dialog.size(), QSize(300, 200));
    EXPECT_FALSE(skin::SetSkinButtonTip(nullptr, QStringLiteral("enter"), QStringLiteral("x")));
    EXPECT_FALSE(skin::SetSkinButtonTip(&dialog, QStringLiteral("enter"), QStringLiteral("x")));
    EXPECT_EQ(skin::FindSkinButton(&dialog, QStringLiteral("enter")), nullptr);

    // A failed load keeps the skin already loaded.
    EXPECT_FALSE(skin::LoadSkinResource(QStringLiteral("missing"), QStringLiteral("AAA")));
    EXPECT_FALSE(skin::LoadSkinResource(QString(), QString()));
    EXPECT_TRUE(skin::SetWindowSkin(&dialog, QStringLiteral("select")));

    const QByteArray head = R"({"format":"lumavo-skin","version":1,"colors":{"a":"#123456"},"objects":)";
    QString error;
    const auto good = skin::ParseSkinData(
        head + R"({"x":{"style":"QWidget{color:@a}","buttons":[{"name":"b","command":7,"rect":[1,2,3,4]}]}}})");
    ASSERT_TRUE(good.has_value());
    EXPECT_EQ(good->FindObject("x")->styleSheet, QStringLiteral("QWidget{color:#123456}"));
    EXPECT_EQ(good->FindObject("x")->buttons.at(0).rect, QRect(1, 2, 3, 4));
    for (const QByteArray& broken : {
             QByteArray("{not json"),
             head + R"({"x":{"style":"QWidget{color:@nocolour}"}}})",
             head + R"({"x":{"buttons":[{"name":"b","rect":[1,2,3,4]}]}}})",
             head + R"({"x":{"buttons":[{"name":"b","command":7,"rect":[1,2,3]}]}}})",
             head
                 + R"({"x":{"buttons":[{"name":"b","command":7,"rect":[1,2,3,4]},)"
                   R"({"name":"b","command":8,"rect":[5,6,7,8]}]}}})",
         }) {
        EXPECT_FALSE(skin::ParseSkinData(broken, &error).has_value()) << broken.toStdString();
        EXPECT_FALSE(error.isEmpty());
        error.clear();
    }
}

} // namespace
} // namespace lumavo
