#include "app/Localization.h"

#include "platform/ProgramFolder.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <iterator>
#include <memory>

namespace lumavo {

namespace {

QString g_interfaceFamily;

// Sans CJK faces first (clearest on screen), then the Windows faces.
const char* const kInterfaceFamilies[] = {
    "WenQuanYi Zen Hei",
    "Noto Sans CJK SC",
    "Source Han Sans SC",
    "WenQuanYi Micro Hei",
    "Microsoft YaHei",
    "SimHei",
    "SimSun",
    "AR PL UMing CN",
};

// Song-style faces that stand in for "宋体" where it is not installed.
const char* const kSongFamilies[] = {
    "SimSun",
    "AR PL UMing CN",
    "Noto Serif CJK SC",
    "Source Han Serif SC",
    "WenQuanYi Zen Hei",
    "Noto Sans CJK SC",
};

QStringList Installed(const QStringList& families, const char* const* names, size_t count)
{
    QStringList found;
    for (size_t i = 0; i < count; ++i) {
        const QString name = QString::fromUtf8(names[i]);
        if (families.contains(name, Qt::CaseInsensitive))
            found << name;
    }
    return found;
}

// Qt's Chinese catalogue still has the file types of the file dialogs
// ("Folder", "%1 File", ...) under their old context; the lists would show
// them in English. This fills them from there.
class FileTypeTranslations : public QTranslator {
public:
    FileTypeTranslations(QTranslator* catalogue, QObject* parent)
        : QTranslator(parent)
        , m_catalogue(catalogue)
    {
    }
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char* disambiguation, int n) const override
    {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return QString();
        const QString found = m_catalogue->translate("QFileDialog", sourceText, disambiguation, n);
        if (!found.isEmpty())
            return found;
        if (qstrcmp(sourceText, "Shortcut") == 0)
            return QStringLiteral("快捷方式");
        return QString();
    }

private:
    QTranslator* m_catalogue;
};

QTranslator* LoadTranslation(QApplication& app, const QString& name)
{
    auto translator = std::make_unique<QTranslator>();
    const QStringList folders = {
        ProgramFolder() + QLatin1String("translations"),
        QLibraryInfo::path(QLibraryInfo::TranslationsPath),
    };
    for (const QString& folder : folders) {
        if (translator->load(QLocale(QLocale::Chinese, QLocale::China), name, QStringLiteral("_"), folder)) {
            translator->setParent(&app);
            app.installTranslator(translator.get());
            return translator.release();
        }
    }
    return nullptr;
}

} // namespace

bool InstallChineseInterface(QApplication& app)
{
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QTranslator* qtbase = LoadTranslation(app, QStringLiteral("qtbase"));
    if (qtbase)
        app.installTranslator(new FileTypeTranslations(qtbase, &app));
    LoadTranslation(app, QStringLiteral("qtmultimedia"));

    const QStringList families = QFontDatabase::families();
    const QStringList song = Installed(families, kSongFamilies, std::size(kSongFamilies));
    if (!song.isEmpty()) {
        QFont::insertSubstitutions(QStringLiteral("宋体"), song);
        QFont::insertSubstitutions(QStringLiteral("SimSun"), song);
    }
    const QStringList interface = Installed(families, kInterfaceFamilies, std::size(kInterfaceFamilies));
    if (!interface.isEmpty()) {
        QFont font = app.font();
        font.setFamilies(interface);
        font.setPixelSize(14);
        app.setFont(font);
        g_interfaceFamily = interface.first();
    }
    return qtbase != nullptr;
}

QString InterfaceFontFamily()
{
    return g_interfaceFamily;
}

} // namespace lumavo
