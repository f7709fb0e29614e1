#include "platform/speech/SpeechEngine.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstring>
#include <dlfcn.h>

namespace {
void touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}
} // namespace

TEST(SpeechEngineLocation, TakesTheFirstFolderWithBothEngineAndModel)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString engineOnly = root.filePath(QStringLiteral("engine-only"));
    const QString modelOnly = root.filePath(QStringLiteral("model-only"));
    const QString first = root.filePath(QStringLiteral("first"));
    const QString second = root.filePath(QStringLiteral("second"));
    touch(engineOnly + QStringLiteral("/libsherpa-onnx-c-api.so"));
    touch(modelOnly + QStringLiteral("/kws-zh-wenetspeech-3.3M/tokens.txt"));
    for (const QString &dir : {first, second}) {
        touch(dir + QStringLiteral("/libsherpa-onnx-c-api.so"));
        touch(dir + QStringLiteral("/kws-zh-wenetspeech-3.3M/tokens.txt"));
    }

    // The linker's own entries may end in a slash.
    const std::optional<SpeechEngineLocation> found
        = SpeechEngineLocation::firstIn({root.filePath(QStringLiteral("missing")), engineOnly,
            modelOnly + QLatin1Char('/'), first + QLatin1Char('/'), second});
    ASSERT_TRUE(found);
    EXPECT_EQ(found->libraryPath, first + QStringLiteral("/libsherpa-onnx-c-api.so"));
    EXPECT_EQ(found->modelDir, first + QStringLiteral("/kws-zh-wenetspeech-3.3M"));

    EXPECT_FALSE(SpeechEngineLocation::firstIn({engineOnly, modelOnly}));
    EXPECT_FALSE(SpeechEngineLocation::firstIn({}));
}

TEST(SpeechEngineLocation, SearchPathIsTheLinkersIncludingTheSystemFolders)
{
    // Where the C library was found is one of the folders a dlopen by name searches.
    Dl_info info;
    ASSERT_NE(dladdr(reinterpret_cast<void *>(&strlen), &info), 0);
    const QString libc
        = QFileInfo(QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath()).canonicalFilePath();

    const QStringList folders = SpeechEngineLocation::librarySearchPath();
    QStringList canonical;
    for (const QString &folder : folders) {
        EXPECT_TRUE(folder.startsWith(QLatin1Char('/'))) << folder.toStdString();
        canonical.append(QFileInfo(folder).canonicalFilePath());
    }
    EXPECT_TRUE(canonical.contains(libc)) << libc.toStdString() << " not in " << folders.join(' ').toStdString();
}
