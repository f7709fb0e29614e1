#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

// One still picture of a video file at a given time. Synchronous; any thread.
class ImageGenerator {
public:
    explicit ImageGenerator(const QString &path) : m_path(path) { }

    // Turn the picture the way the track asks to be shown.
    void setAppliesPreferredTrackTransform(bool value) { m_appliesPreferredTrackTransform = value; }
    // Box the picture is scaled down into, proportions kept; empty = full size.
    void setMaximumSize(QSize size) { m_maximumSize = size; }
    // How long opening the file, or seeking in it, may take before the file
    // counts as stalled and copyImage() gives up.
    void setTimeoutSeconds(double seconds) { m_timeoutSeconds = seconds; }

    // The frame shown at `seconds` of stream time, or none with `error` set.
    std::optional<QImage> copyImage(double seconds, QString *error) const;

    // `size` scaled down to fit `box`, proportions kept, never enlarged.
    static QSize fittedSize(QSize size, QSize box);

    // Graphs of stalled files still being stopped after copyImage() returned.
    static int graphsStoppingInBackground();

private:
    QString m_path;
    bool m_appliesPreferredTrackTransform = false;
    QSize m_maximumSize;
    double m_timeoutSeconds = 30.0;
};
