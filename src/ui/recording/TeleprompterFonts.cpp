#include "ui/recording/TeleprompterFonts.h"

#include "ui/common/AppFont.h"

#include <QFontDatabase>
#include <QGuiApplication>

#include <cmath>

namespace {
using Installed = std::function<bool(const QString &)>;

// Where Han characters come from when the chosen face has none (or has
// traditional or Japanese shapes for them).
QString hanFallback(TeleprompterFont option, const Installed &isInstalled)
{
    QStringList families = AppFont::chineseSansFamilies();
    if (option == TeleprompterFont::menlo) {
        families.prepend(QStringLiteral("Noto Sans Mono CJK SC"));
    }
    for (const QString &family : families) {
        if (isInstalled(family)) {
            return family;
        }
    }
    return {};
}

QFont sized(QStringList families, QFont::Weight weight, double size, const QString &hanFamily)
{
    if (!hanFamily.isEmpty() && !families.contains(hanFamily, Qt::CaseInsensitive)) {
        families << hanFamily;
    }
    QFont font;
    font.setFamilies(families);
    font.setWeight(weight);
    // Sizes are logical pixels; Qt fonts take whole pixels, and the size
    // slider only offers whole numbers anyway.
    const double pixels = std::isfinite(size) ? std::round(size) : 28.0;
    font.setPixelSize(int(qBound(1.0, pixels, 1000.0)));
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}
} // namespace

QList<TeleprompterFonts::Candidate> TeleprompterFonts::candidates(TeleprompterFont option)
{
    switch (option.value()) {
    case TeleprompterFont::system:
        return {};
    case TeleprompterFont::pingFang:
        return {{QStringLiteral("Noto Sans CJK SC"), QFont::Medium},
            {QStringLiteral("Source Han Sans SC"), QFont::Medium},
            {QStringLiteral("Source Han Sans CN"), QFont::Medium}};
    case TeleprompterFont::heiti:
        return {{QStringLiteral("Noto Sans CJK SC"), QFont::Normal},
            {QStringLiteral("Source Han Sans SC"), QFont::Normal},
            {QStringLiteral("WenQuanYi Zen Hei"), QFont::Normal}};
    case TeleprompterFont::songti:
        return {{QStringLiteral("Noto Serif CJK SC"), QFont::Normal},
            {QStringLiteral("Source Han Serif SC"), QFont::Normal}, {QStringLiteral("AR PL UMing CN"), QFont::Normal}};
    case TeleprompterFont::kaiti:
        return {{QStringLiteral("AR PL UKai CN"), QFont::Normal}, {QStringLiteral("AR PL KaitiM GB"), QFont::Normal}};
    case TeleprompterFont::helvetica:
        return {{QStringLiteral("Nimbus Sans"), QFont::Normal}, {QStringLiteral("TeX Gyre Heros"), QFont::Normal},
            {QStringLiteral("Nimbus Sans L"), QFont::Normal}};
    case TeleprompterFont::menlo:
        return {{QStringLiteral("DejaVu Sans Mono"), QFont::Normal}, {QStringLiteral("Noto Sans Mono"), QFont::Normal}};
    }
    return {};
}

bool TeleprompterFonts::isInstalled(const QString &family)
{
    return QFontDatabase::hasFamily(family);
}

QFont TeleprompterFonts::font(TeleprompterFont option, double size)
{
    return font(option, size, &TeleprompterFonts::isInstalled);
}

QFont TeleprompterFonts::font(TeleprompterFont option, double size, const Installed &isInstalled)
{
    for (const Candidate &candidate : candidates(option)) {
        if (isInstalled(candidate.family)) {
            return sized({candidate.family}, candidate.weight, size, hanFallback(option, isInstalled));
        }
    }
    return systemFont(size, isInstalled);
}

QFont TeleprompterFonts::systemFont(double size, const Installed &isInstalled)
{
    const QFont ui = QGuiApplication::font();
    const QStringList families = ui.families().isEmpty() ? QStringList{ui.family()} : ui.families();
    return sized(families, QFont::Medium, size, hanFallback(TeleprompterFont::system, isInstalled));
}
