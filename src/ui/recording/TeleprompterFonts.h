#pragma once

#include "library/TeleprompterFont.h"

#include <QFont>
#include <QList>
#include <QStringList>

#include <functional>

// Maps the teleprompter's typeface choices onto fonts installed here. The
// names the choices carry belong to another platform; each gets the nearest
// free family, and Han characters always come from a simplified-Chinese face.
class TeleprompterFonts {
public:
    struct Candidate {
        QString family;
        QFont::Weight weight;
    };

    // Families that stand in for an option, best first; empty for `system`.
    static QList<Candidate> candidates(TeleprompterFont option);

    // The font to draw with at `size` logical pixels.
    static QFont font(TeleprompterFont option, double size);
    // The same against a given notion of what is installed.
    static QFont font(TeleprompterFont option, double size, const std::function<bool(const QString &)> &isInstalled);

    // The standard UI font at medium weight: the fallback for every option.
    static QFont systemFont(double size, const std::function<bool(const QString &)> &isInstalled);

    static bool isInstalled(const QString &family);
};
