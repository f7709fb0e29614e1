#pragma once

#include "library/RecordingOptions.h"

#include <QSettings>

// Tests that rely on the options' defaults start from an empty store: all
// tests of a binary share one when it is run by hand.
inline void forgetStoredOptions()
{
    QSettings settings;
    for (const QString &key :
        {RecordingOptions::mirrorPreviewKey, RecordingOptions::mirrorTextKey, RecordingOptions::countdownKey,
            RecordingOptions::trimVoiceCommandKey, RecordingOptions::voiceFollowingKey}) {
        settings.remove(key);
    }
}
