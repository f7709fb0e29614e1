#pragma once

#include <QHashFunctions>
#include <QMetaType>
#include <QString>

#include <cstdint>

// A teleprompter text in the script library. Times are seconds since 1970 (UTC),
// exactly as the database stores them.
struct Script {
    int64_t id = 0;
    QString title;
    QString content;
    double createdAt = 0;
    double updatedAt = 0;

    friend bool operator==(const Script &, const Script &) = default;
};

inline size_t qHash(const Script &script, size_t seed = 0)
{
    return qHashMulti(seed, script.id, script.title, script.content, script.createdAt, script.updatedAt);
}

Q_DECLARE_METATYPE(Script)
