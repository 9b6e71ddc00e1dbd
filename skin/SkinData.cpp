#include "skin/SkinData.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>
#include <QRegularExpression>

namespace lumavo::skin {

const SkinButton* SkinObject::FindButton(const QString& buttonName) const
{
    for (const SkinButton& button : buttons) {
        if (button.name == buttonName)
            return &button;
    }
    return nullptr;
}

const SkinObject* SkinData::FindObject(const QString& objectName) const
{
    auto found = objects.constFind(objectName);
    return found == objects.constEnd() ? nullptr : &found.value();
}

namespace {

// Collects the first problem met; every reader returns a neutral value
// after that, and the caller throws the whole result away.
class Reader {
public:
    QString error;

    bool Fail(const QString& what)
    {
        if (error.isEmpty())
            error = what;
        return false;
    }

    // "@name" refers to the data's colour table, so one accent colour is
    // written once and used by every object.
    QString ResolveColours(const QString& text, const QMap<QString, QString>& colours)
    {
        static const QRegularExpression reference(QStringLiteral("@([A-Za-z][A-Za-z0-9]*)"));
        QString result;
        qsizetype done = 0;
        auto matches = reference.globalMatch(text);
        while (matches.hasNext()) {
            const auto match = matches.next();
            const auto colour = colours.constFind(match.captured(1));
            if (colour == colours.constEnd()) {
                Fail(QStringLiteral("unknown colour @%1").arg(match.captured(1)));
                return {};
            }
            result += QStringView(text).mid(done, match.capturedStart() - done);
            result += colour.value();
            done = match.capturedEnd();
        }
        result += QStringView(text).mid(done);
        return result;
    }

    // A style is an array of lines (JSON has no multi-line strings) or one string.
    QString ReadStyle(const QJsonValue& value, const QMap<QString, QString>& colours)
    {
        QString text;
        if (value.isString()) {
            text = value.toString();
        } else if (value.isArray()) {
            for (const QJsonValue& line : value.toArray()) {
                if (!line.isString()) {
                    Fail(QStringLiteral("style lines must be text"));
                    return {};
                }
                text += line.toString() + QLatin1Char('\n');
            }
        } else if (!value.isUndefined()) {
            Fail(QStringLiteral("style must be text or an array of lines"));
            return {};
        }
        return ResolveColours(text, colours);
    }

    std::vector<int> ReadInts(const QJsonValue& value, qsizetype count, const QString& what)
    {
        const QJsonArray array = value.toArray();
        if (!value.isArray() || array.size() != count) {
            Fail(QStringLiteral("%1 needs %2 numbers").arg(what).arg(count));
            return {};
        }
        std::vector<int> numbers;
        for (const QJsonValue& number : array) {
            if (!number.isDouble() || number.toDouble() != number.toInt()) {
                Fail(QStringLiteral("%1 needs whole numbers").arg(what));
                return {};
            }
            numbers.push_back(number.toInt());
        }
        return numbers;
    }

    void ReadPalette(const QJsonValue& value, const QMap<QString, QString>& colours, SkinObject& object)
    {
        if (value.isUndefined())
            return;
        if (!value.isObject()) {
            Fail(QStringLiteral("palette of %1 must be an object").arg(object.name));
            return;
        }
        const QMetaEnum roles = QMetaEnum::fromType<QPalette::ColorRole>();
        const QJsonObject entries = value.toObject();
        for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
            bool known = false;
            const int role = roles.keyToValue(entry.key().toLatin1().constData(), &known);
            const QColor colour(ResolveColours(entry.value().toString(), colours));
            if (!known || !colour.isValid()) {
                Fail(QStringLiteral("bad palette entry %1 of %2").arg(entry.key(), object.name));
                return;
            }
            object.palette.emplace_back(static_cast<QPalette::ColorRole>(role), colour);
        }
    }

    void ReadButtons(const QJsonValue& value, SkinObject& object)
    {
        if (value.isUndefined())
            return;
        if (!value.isArray()) {
            Fail(QStringLiteral("buttons of %1 must be an array").arg(object.name));
            return;
        }
        for (const QJsonValue& entry : value.toArray()) {
            const QJsonObject fields = entry.toObject();
            SkinButton button;
            button.name = fields.value(QLatin1String("name")).toString();
            button.label = fields.value(QLatin1String("label")).toString();
            button.command = fields.value(QLatin1String("command")).toInt(0);
            button.primary = fields.value(QLatin1String("primary")).toBool(false);
            const auto rect = ReadInts(fields.value(QLatin1String("rect")), 4, button.name + " rect");
            if (rect.size() == 4)
                button.rect = QRect(rect[0], rect[1], rect[2], rect[3]);
            if (button.name.isEmpty() || button.command <= 0 || !button.rect.isValid()) {
                Fail(QStringLiteral("button \"%1\" of %2 needs a name, a command and a rectangle")
                         .arg(button.name, object.name));
                return;
            }
            if (object.FindButton(button.name)) {
                Fail(QStringLiteral("button %1 of %2 given twice").arg(button.name, object.name));
                return;
            }
            object.buttons.push_back(button);
        }
    }
};

} // namespace

std::optional<SkinData> ParseSkinData(const QByteArray& bytes, QString* error)
{
    Reader reader;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    const QJsonObject root = document.object();
    if (document.isNull() || !document.isObject())
        reader.Fail(parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                                 : QStringLiteral("not a JSON object"));
    else if (root.value(QLatin1String("format")).toString() != QLatin1String("lumavo-skin"))
        reader.Fail(QStringLiteral("not a skin file"));
    else if (root.value(QLatin1String("version")).toInt() != 1)
        reader.Fail(QStringLiteral("unknown skin version"));

    QMap<QString, QString> colours;
    const QJsonObject colourTable = root.value(QLatin1String("colors")).toObject();
    for (auto entry = colourTable.begin(); entry != colourTable.end(); ++entry) {
        if (!QColor(entry.value().toString()).isValid())
            reader.Fail(QStringLiteral("bad colour %1").arg(entry.key()));
        colours.insert(entry.key(), entry.value().toString());
    }

    // Rules every object carries (the skin buttons' look), so a window keeps
    // its buttons' look even where the dialog skin was never set.
    const QString sharedStyle = reader.ReadStyle(root.value(QLatin1String("sharedStyle")), colours);

    SkinData data;
    const QJsonObject objects = root.value(QLatin1String("objects")).toObject();
    for (auto entry = objects.begin(); entry != objects.end() && reader.error.isEmpty(); ++entry) {
        const QJsonObject fields = entry.value().toObject();
        SkinObject object;
        object.name = entry.key();
        object.styleSheet = sharedStyle + reader.ReadStyle(fields.value(QLatin1String("style")), colours);
        reader.ReadPalette(fields.value(QLatin1String("palette")), colours, object);
        const QJsonValue clientSize = fields.value(QLatin1String("clientSize"));
        if (!clientSize.isUndefined()) {
            const auto size = reader.ReadInts(clientSize, 2, object.name + " clientSize");
            if (size.size() == 2 && size[0] > 0 && size[1] > 0)
                object.clientSize = QSize(size[0], size[1]);
            else
                reader.Fail(QStringLiteral("bad clientSize of %1").arg(object.name));
        }
        reader.ReadButtons(fields.value(QLatin1String("buttons")), object);
        data.objects.insert(object.name, std::move(object));
    }
    if (reader.error.isEmpty() && data.objects.isEmpty())
        reader.Fail(QStringLiteral("no skin objects"));

    if (!reader.error.isEmpty()) {
        if (error)
            *error = reader.error;
        return std::nullopt;
    }
    return data;
}

} // namespace lumavo::skin
