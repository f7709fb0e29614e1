#pragma once

#include <QString>

#include <optional>

// Exact, case-sensitive lookup of an option by its raw value.
template<typename Option>
std::optional<Option> optionFromRawValue(const QString &rawValue)
{
    for (const Option option : Option::allCases()) {
        if (option.rawValue() == rawValue) {
            return option;
        }
    }
    return std::nullopt;
}
