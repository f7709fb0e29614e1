#pragma once

#include <QList>
#include <QString>

#include <optional>

// Typeface of the teleprompter text; the raw value is also the picker label.
class TeleprompterFont {
public:
    enum Case { system, pingFang, heiti, songti, kaiti, helvetica, menlo };

    constexpr TeleprompterFont(Case value) : m_case(value) { }

    static std::optional<TeleprompterFont> fromRawValue(const QString &rawValue);
    static QList<TeleprompterFont> allCases();

    QString rawValue() const;
    QString id() const { return rawValue(); }
    // Font name to draw with; absent means the standard system font.
    std::optional<QString> fontName() const;
    constexpr Case value() const { return m_case; }

    friend constexpr bool operator==(TeleprompterFont, TeleprompterFont) = default;

private:
    Case m_case;
};

size_t qHash(TeleprompterFont option, size_t seed = 0);
