#include "skin/SkinLibrary.h"

#include "skin/CommandEvent.h"
#include "skin/SkinData.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

namespace lumavo::skin {

namespace {

// Properties the skin sets, so that its style sheets can address the
// windows and buttons it looks after and nothing else.
constexpr char kObjectProperty[] = "skinObject";
constexpr char kButtonProperty[] = "skinButton";

struct SkinState {
    std::optional<SkinData> data;
};

SkinState& State()
{
    static SkinState state;
    return state;
}

const SkinObject* FindObject(const QString& objectName)
{
    const auto& data = State().data;
    return data ? data->FindObject(objectName) : nullptr;
}

bool IsTextRole(QPalette::ColorRole role)
{
    return role == QPalette::WindowText || role == QPalette::Text || role == QPalette::ButtonText
        || role == QPalette::BrightText || role == QPalette::HighlightedText;
}

QColor Blend(const QColor& a, const QColor& b)
{
    return QColor((a.red() + b.red()) / 2, (a.green() + b.green()) / 2, (a.blue() + b.blue()) / 2);
}

// The object's colours for active and inactive windows; disabled text is
// faded toward the background so that greyed-out controls still read as such.
QPalette BuildPalette(QPalette palette, const SkinObject& object)
{
    for (const auto& [role, colour] : object.palette) {
        palette.setColor(QPalette::Active, role, colour);
        palette.setColor(QPalette::Inactive, role, colour);
        if (!IsTextRole(role))
            palette.setColor(QPalette::Disabled, role, colour);
    }
    const QColor window = palette.color(QPalette::Active, QPalette::Window);
    for (const auto& [role, colour] : object.palette) {
        if (IsTextRole(role))
            palette.setColor(QPalette::Disabled, role, Blend(colour, window));
    }
    return palette;
}

// Skin buttons of an earlier SetWindowSkin leave at once (renamed and
// hidden) and are deleted later, since one of them may be mid-click.
QMap<QString, QString> RetireSkinButtons(QWidget* window)
{
    QMap<QString, QString> tips;
    const auto buttons = window->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly);
    for (QPushButton* button : buttons) {
        if (!button->property(kButtonProperty).isValid())
            continue;
        tips.insert(button->objectName(), button->toolTip());
        button->setObjectName(QString());
        button->setProperty(kButtonProperty, QVariant());
        button->hide();
        button->deleteLater();
    }
    return tips;
}

void AddSkinButton(QWidget* window, const SkinButton& description, const QString& tip)
{
    auto* button = new QPushButton(description.label, window); // owned by the window
    button->setObjectName(description.name);
    button->setProperty(kButtonProperty, description.primary ? QStringLiteral("primary") : QStringLiteral("secondary"));
    // Never the focus, never a default button: Enter and Esc must keep
    // reaching the window as commands 1 and 2.
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setCursor(Qt::PointingHandCursor);
    button->setGeometry(description.rect);
    button->setToolTip(tip);
    const int command = description.command;
    QObject::connect(button, &QPushButton::clicked, window, [window, command] { SendCommand(window, command); });
    button->raise();
    button->show();
}

} // namespace

bool InitSkinLibrary(const QString&)
{
    // The layer needs no licence: the key is taken and not needed.
    return true;
}

bool LoadSkinResource(const QString& name, const QString& type)
{
    if (name.isEmpty() || type.isEmpty())
        return false;
    QFile file(QStringLiteral(":/") + type + QLatin1Char('/') + name);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QString error;
    auto data = ParseSkinData(file.readAll(), &error);
    if (!data) {
        // A broken skin is a build fault; the windows still work without it.
        qWarning("skin data %s/%s unreadable: %s", qPrintable(type), qPrintable(name), qPrintable(error));
        return false;
    }
    State().data = std::move(data);
    return true;
}

bool SetDialogSkin(const QString& objectName)
{
    const SkinObject* object = FindObject(objectName);
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!object || !app)
        return false;
    if (!object->palette.empty())
        QApplication::setPalette(BuildPalette(QApplication::palette(), *object));
    app->setStyleSheet(object->styleSheet);
    return true;
}

bool SetWindowSkin(QWidget* window, const QString& objectName)
{
    const SkinObject* object = FindObject(objectName);
    if (!window || !object)
        return false;
    window->setProperty(kObjectProperty, object->name);
    if (!object->palette.empty())
        window->setPalette(BuildPalette(window->palette(), *object));
    window->setStyleSheet(object->styleSheet);
    if (object->clientSize.isValid())
        window->resize(object->clientSize);
    const auto tips = RetireSkinButtons(window);
    for (const SkinButton& button : object->buttons)
        AddSkinButton(window, button, tips.value(button.name));
    return true;
}

bool SetSkinButtonTip(QWidget* window, const QString& buttonName, const QString& tip)
{
    QAbstractButton* button = FindSkinButton(window, buttonName);
    if (!button)
        return false;
    button->setToolTip(tip);
    return true;
}

QAbstractButton* FindSkinButton(QWidget* window, const QString& buttonName)
{
    if (!window || buttonName.isEmpty())
        return nullptr;
    const auto buttons = window->findChildren<QPushButton*>(buttonName, Qt::FindDirectChildrenOnly);
    for (QPushButton* button : buttons) {
        if (button->property(kButtonProperty).isValid())
            return button;
    }
    return nullptr;
}

} // namespace lumavo::skin
