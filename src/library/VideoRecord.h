#pragma once

#include <QHashFunctions>
#include <QMetaType>
#include <QString>

#include <cstdint>
#include <optional>

// One finished recording in the video library.
struct VideoRecord {
    int64_t id = 0;
    QString fileName;
    QString filePath;
    std::optional<QString> thumbnailPath; // absent is not the same as empty text
    double createdAt = 0;

    friend bool operator==(const VideoRecord &, const VideoRecord &) = default;
};

inline size_t qHash(const VideoRecord &video, size_t seed = 0)
{
    return qHashMulti(seed, video.id, video.fileName, video.filePath, video.thumbnailPath.has_value(),
        video.thumbnailPath.value_or(QString()), video.createdAt);
}

Q_DECLARE_METATYPE(VideoRecord)
