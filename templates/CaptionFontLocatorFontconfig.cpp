// Caption font lookup through fontconfig (every system but Windows).
#ifndef _WIN32

#include "templates/CaptionFontLocator.h"

#include <QFile>

#include <cmath>
#include <fontconfig/fontconfig.h>
#include <memory>

namespace lumavo {

namespace {

struct PatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct FontSetDeleter {
    void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};
struct ObjectSetDeleter {
    void operator()(FcObjectSet* s) const { FcObjectSetDestroy(s); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;
using FontSetPtr = std::unique_ptr<FcFontSet, FontSetDeleter>;
using ObjectSetPtr = std::unique_ptr<FcObjectSet, ObjectSetDeleter>;

// Fontconfig may store a weight as a number or (variable fonts) a range;
// a range counts as regular, the bold instance being synthesised.
double WeightOf(const FcPattern* font)
{
    FcValue value;
    if (FcPatternGet(font, FC_WEIGHT, 0, &value) == FcResultMatch) {
        if (value.type == FcTypeInteger)
            return value.u.i;
        if (value.type == FcTypeDouble)
            return value.u.d;
    }
    return FC_WEIGHT_REGULAR;
}

bool IsUpright(const FcPattern* font)
{
    int slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(font, FC_SLANT, 0, &slant);
    return slant == FC_SLANT_ROMAN;
}

bool IsOutline(const FcPattern* font)
{
    FcBool outline = FcTrue;
    FcPatternGetBool(font, FC_OUTLINE, 0, &outline);
    return outline == FcTrue;
}

std::optional<FontFileRef> RefOf(const FcPattern* font, const QString& family)
{
    FcChar8* file = nullptr;
    if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch || !file)
        return std::nullopt;
    int index = 0;
    FcPatternGetInteger(font, FC_INDEX, 0, &index);
    return FontFileRef { QFile::decodeName(reinterpret_cast<const char*>(file)), index, family };
}

// Lower is better: an upright bold face first, then the upright face
// nearest to regular weight (it gets emboldened when drawn).
double Rank(const FcPattern* font)
{
    const double weight = WeightOf(font);
    if (weight >= FC_WEIGHT_BOLD)
        return weight - FC_WEIGHT_BOLD;
    return 1000.0 + std::abs(weight - FC_WEIGHT_REGULAR);
}

std::optional<FontFileRef> FindFamily(const QString& family)
{
    PatternPtr pattern(FcPatternCreate());
    ObjectSetPtr objects(FcObjectSetBuild(FC_FILE, FC_INDEX, FC_WEIGHT, FC_SLANT, FC_OUTLINE, nullptr));
    if (!pattern || !objects)
        return std::nullopt;
    const QByteArray name = family.toUtf8();
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(name.constData()));
    FontSetPtr fonts(FcFontList(nullptr, pattern.get(), objects.get()));
    if (!fonts)
        return std::nullopt;

    const FcPattern* best = nullptr;
    double bestRank = 0.0;
    QString bestKey;
    for (int i = 0; i < fonts->nfont; ++i) {
        const FcPattern* font = fonts->fonts[i];
        if (!IsOutline(font) || !IsUpright(font))
            continue;
        const auto ref = RefOf(font, family);
        if (!ref)
            continue;
        // The listing comes in no fixed order: ties go to the path, so
        // every run picks the same face.
        const double rank = Rank(font);
        const QString key = ref->path + QLatin1Char('#') + QString::number(ref->faceIndex);
        if (!best || rank < bestRank || (rank == bestRank && key < bestKey)) {
            best = font;
            bestRank = rank;
            bestKey = key;
        }
    }
    return best ? RefOf(best, family) : std::nullopt;
}

std::optional<FontFileRef> FindAnySimplifiedChinese()
{
    PatternPtr pattern(FcPatternCreate());
    if (!pattern)
        return std::nullopt;
    FcPatternAddString(pattern.get(), FC_LANG, reinterpret_cast<const FcChar8*>("zh-cn"));
    FcPatternAddBool(pattern.get(), FC_OUTLINE, FcTrue);
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, FC_WEIGHT_BOLD);
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    PatternPtr font(FcFontMatch(nullptr, pattern.get(), &result));
    if (!font || result != FcResultMatch || !IsOutline(font.get()))
        return std::nullopt;
    // The match is only the nearest font; it must really cover the language.
    FcLangSet* languages = nullptr;
    if (FcPatternGetLangSet(font.get(), FC_LANG, 0, &languages) != FcResultMatch
        || FcLangSetHasLang(languages, reinterpret_cast<const FcChar8*>("zh-cn")) != FcLangEqual)
        return std::nullopt;
    FcChar8* family = nullptr;
    FcPatternGetString(font.get(), FC_FAMILY, 0, &family);
    return RefOf(font.get(), family ? QString::fromUtf8(reinterpret_cast<const char*>(family)) : QString());
}

} // namespace

std::optional<FontFileRef> LocateCaptionFont()
{
    if (!FcInit())
        return std::nullopt;
    for (const QString& family : CaptionFontFamilies()) {
        if (auto found = FindFamily(family))
            return found;
    }
    return FindAnySimplifiedChinese();
}

} // namespace lumavo

#endif // !_WIN32
