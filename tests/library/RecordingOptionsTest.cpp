#include "library/RecordingOptions.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QSignalSpy>

namespace {
QStringList allKeys()
{
    return {RecordingOptions::mirrorPreviewKey, RecordingOptions::mirrorTextKey, RecordingOptions::countdownKey,
        RecordingOptions::trimVoiceCommandKey, RecordingOptions::voiceFollowingKey};
}

void forgetStoredOptions()
{
    QSettings settings;
    for (const QString &key : allKeys()) {
        settings.remove(key);
    }
}
} // namespace

TEST(RecordingOptions, StartAtTheirDefaultsAndPersistEveryChangeForTheNextInstance)
{
    forgetStoredOptions();
    {
        RecordingOptions options;
        EXPECT_FALSE(options.isMirroringPreview());
        EXPECT_FALSE(options.isMirroringText());
        EXPECT_FALSE(options.isCountdownEnabled());
        EXPECT_TRUE(options.isTrimmingVoiceCommand()) << "on by default";
        EXPECT_FALSE(options.isVoiceFollowing());
        EXPECT_TRUE(QSettings().value(RecordingOptions::trimVoiceCommandKey).isNull())
            << "defaults are not written: a later default change reaches users who never chose";

        QSignalSpy mirrored(&options, &RecordingOptions::isMirroringPreviewChanged);
        options.setIsMirroringPreview(true);
        options.setIsMirroringPreview(true);
        EXPECT_EQ(mirrored.count(), 1) << "only a change is announced";
        options.setIsMirroringText(true);
        options.setIsCountdownEnabled(true);
        options.setIsTrimmingVoiceCommand(false);
        options.setIsVoiceFollowing(true);
    }
    // Beside the save folder, under names of their own.
    const QSettings settings;
    for (const QString &key : allKeys()) {
        EXPECT_TRUE(settings.contains(key)) << key.toStdString();
    }
    const RecordingOptions later;
    EXPECT_TRUE(later.isMirroringPreview());
    EXPECT_TRUE(later.isMirroringText());
    EXPECT_TRUE(later.isCountdownEnabled());
    EXPECT_FALSE(later.isTrimmingVoiceCommand());
    EXPECT_TRUE(later.isVoiceFollowing());
    forgetStoredOptions();
}

TEST(RecordingOptions, AValueThatIsNoBooleanKeepsTheDefault)
{
    forgetStoredOptions();
    {
        QSettings settings;
        settings.setValue(RecordingOptions::mirrorPreviewKey, QStringLiteral("banana"));
        settings.setValue(RecordingOptions::trimVoiceCommandKey, QStringLiteral("maybe"));
        settings.setValue(RecordingOptions::countdownKey, QStringLiteral(" TRUE "));
        settings.setValue(RecordingOptions::voiceFollowingKey, 0);
    }
    const RecordingOptions options;
    EXPECT_FALSE(options.isMirroringPreview()) << "any non-empty text would read as true";
    EXPECT_TRUE(options.isTrimmingVoiceCommand());
    EXPECT_TRUE(options.isCountdownEnabled());
    EXPECT_FALSE(options.isVoiceFollowing());
    forgetStoredOptions();
}
