#include "support/RealSpeech.h"

#include "platform/media/GstPtr.h"
#include "platform/speech/WavFile.h"
#include "support/TestPaths.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <random>

namespace RealSpeech {
namespace {
// Bumped whenever the way clips are made changes, so cached clips are made anew.
constexpr const char *clipVersion = "real-speech-3";
constexpr double wordGapSeconds = 0.08;
constexpr double commaPauseSeconds = 0.35;
constexpr double stopPauseSeconds = 0.6;
// Every word at one loudness; the recordings' own levels differ from word to word.
constexpr double wordRms = 0.1;
constexpr float peakLimit = 0.9f;

std::mutex cacheMutex;

const QSet<QString> &recorded()
{
    static const QSet<QString> words = [] {
        const QStringList list = vocabulary();
        return QSet<QString>(list.begin(), list.end());
    }();
    return words;
}

int longestWord()
{
    static const int longest = [] {
        qsizetype n = 1;
        for (const QString &w : recorded()) {
            n = std::max(n, w.size());
        }
        return int(n);
    }();
    return longest;
}

std::vector<float> decode(const QString &path)
{
    std::vector<float> samples;
    if (!gst_is_initialized()) {
        gst_init(nullptr, nullptr);
    }
    GError *error = nullptr;
    GstPtr<GstElement> pipeline(gst_parse_launch("filesrc name=src ! decodebin ! audioconvert ! audioresample ! "
                                                 "audio/x-raw,format=F32LE,channels=1,rate=16000 ! "
                                                 "appsink name=out sync=false",
        &error));
    g_clear_error(&error);
    if (!pipeline) {
        return samples;
    }
    GstPtr<GstElement> source(gst_bin_get_by_name(GST_BIN(pipeline.get()), "src"));
    g_object_set(source.get(), "location", path.toUtf8().constData(), nullptr);
    GstPtr<GstElement> sink(gst_bin_get_by_name(GST_BIN(pipeline.get()), "out"));
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    while (GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink.get()), 10 * GST_SECOND)) {
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            const auto *data = reinterpret_cast<const float *>(map.data);
            samples.insert(samples.end(), data, data + map.size / sizeof(float));
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return samples;
}

// RMS of each 10 ms frame.
std::vector<double> frameLevels(const std::vector<float> &samples)
{
    constexpr size_t frame = sampleRate / 100;
    std::vector<double> levels;
    for (size_t i = 0; i + frame <= samples.size(); i += frame) {
        double energy = 0;
        for (size_t j = i; j < i + frame; ++j) {
            energy += double(samples[j]) * samples[j];
        }
        levels.push_back(std::sqrt(energy / frame));
    }
    return levels;
}

// RMS over the frames that carry the voice (within 30 dB of the loudest).
double voiceRms(const std::vector<float> &samples)
{
    const std::vector<double> levels = frameLevels(samples);
    const double loudest = levels.empty() ? 0 : *std::max_element(levels.begin(), levels.end());
    double energy = 0;
    int frames = 0;
    for (double level : levels) {
        if (level > loudest * 0.03) {
            energy += level * level;
            ++frames;
        }
    }
    return frames ? std::sqrt(energy / frames) : 0.0;
}

// The voice of a decoded recording: quiet cut off at both ends, leaving the
// soft onset and the release, then levelled.
std::vector<float> trimmed(const std::vector<float> &samples)
{
    constexpr size_t frame = sampleRate / 100;
    const std::vector<double> levels = frameLevels(samples);
    if (levels.empty()) {
        return {};
    }
    const double loudest = *std::max_element(levels.begin(), levels.end());
    const auto voiced = [&](double level) { return level > loudest * 0.03; };
    const size_t first = size_t(std::find_if(levels.begin(), levels.end(), voiced) - levels.begin());
    const size_t last = levels.size() - size_t(std::find_if(levels.rbegin(), levels.rend(), voiced) - levels.rbegin());
    const size_t from = first > 3 ? (first - 3) * frame : 0;
    const size_t to = std::min(samples.size(), (last + 5) * frame);
    std::vector<float> voice(samples.begin() + qsizetype(from), samples.begin() + qsizetype(to));
    const double rms = voiceRms(voice);
    float peak = 0;
    for (float s : voice) {
        peak = std::max(peak, std::fabs(s));
    }
    if (rms <= 0 || peak <= 0) {
        return {};
    }
    const float scale = float(std::min(wordRms / rms, double(peakLimit / peak)));
    for (float &s : voice) {
        s *= scale;
    }
    return voice;
}

void appendQuiet(std::vector<float> &samples, double seconds)
{
    samples.insert(samples.end(), size_t(seconds * sampleRate), 0.0f);
}

std::vector<float> throughSox(const std::vector<float> &samples, const QStringList &effects)
{
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("in.wav"));
    const QString out = dir.filePath(QStringLiteral("out.wav"));
    std::vector<float> result;
    if (!writeWav(in, samples)
        || QProcess::execute(QStringLiteral("sox"),
               QStringList{QStringLiteral("-q"), QStringLiteral("-V1"), QStringLiteral("-R"), in, QStringLiteral("-b"),
                   QStringLiteral("16"), out}
                   + effects + QStringList{QStringLiteral("channels"), QStringLiteral("1")})
            != 0) {
        return result;
    }
    QString error;
    WavFile::read(out, &result, &error);
    return result;
}

// Pink noise (Paul Kellet's filter over white noise), unit RMS roughly.
std::vector<float> pinkNoise(size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> white(0.0, 1.0);
    std::vector<float> noise(count);
    double b0 = 0, b1 = 0, b2 = 0, b3 = 0, b4 = 0, b5 = 0, b6 = 0;
    for (float &sample : noise) {
        const double w = white(random);
        b0 = 0.99886 * b0 + w * 0.0555179;
        b1 = 0.99332 * b1 + w * 0.0750759;
        b2 = 0.96900 * b2 + w * 0.1538520;
        b3 = 0.86650 * b3 + w * 0.3104856;
        b4 = 0.55000 * b4 + w * 0.5329522;
        b5 = -0.7616 * b5 - w * 0.0168980;
        sample = float(b0 + b1 + b2 + b3 + b4 + b5 + b6 + w * 0.5362);
        b6 = w * 0.115926;
    }
    double energy = 0;
    for (float s : noise) {
        energy += double(s) * s;
    }
    const double rms = count ? std::sqrt(energy / double(count)) : 1.0;
    for (float &s : noise) {
        s = float(s / rms);
    }
    return noise;
}
} // namespace

QString wordsDir()
{
    return TestPaths::sharedDir() + QStringLiteral("/speech/cmn-words-yue-tan");
}

bool available()
{
    return !recorded().isEmpty();
}

QStringList vocabulary()
{
    QStringList words;
    for (const QString &name : QDir(wordsDir()).entryList({QStringLiteral("cmn-*.mp3")}, QDir::Files, QDir::Name)) {
        words << name.mid(4, name.size() - 8);
    }
    return words;
}

bool hasWord(const QString &word)
{
    return recorded().contains(word);
}

std::vector<float> word(const QString &word)
{
    static QHash<QString, std::vector<float>> decoded;
    std::lock_guard lock(cacheMutex);
    auto it = decoded.find(word);
    if (it == decoded.end()) {
        std::vector<float> voice;
        if (hasWord(word)) {
            voice = trimmed(decode(wordsDir() + QStringLiteral("/cmn-") + word + QStringLiteral(".mp3")));
        }
        it = decoded.insert(word, std::move(voice));
    }
    return it.value();
}

QStringList wordsOf(const QString &text, QString *missing)
{
    QStringList words;
    for (qsizetype at = 0; at < text.size();) {
        qsizetype length = std::min<qsizetype>(longestWord(), text.size() - at);
        while (length > 1 && !hasWord(text.mid(at, length))) {
            --length;
        }
        const QString piece = text.mid(at, length);
        if (!hasWord(piece) && missing) {
            *missing += piece;
        }
        words << piece;
        at += length;
    }
    return words;
}

Spoken say(const QString &text, double leadSeconds, double tailSeconds)
{
    Spoken spoken;
    appendQuiet(spoken.samples, leadSeconds);
    QString pending;
    double gap = 0;
    const auto flush = [&] {
        for (const QString &piece : wordsOf(pending, &spoken.missing)) {
            const std::vector<float> voice = word(piece);
            if (voice.empty()) {
                continue;
            }
            if (!spoken.words.isEmpty()) {
                appendQuiet(spoken.samples, gap);
            }
            gap = 0; // the pieces of one word follow with no gap
            spoken.wordStarts.push_back(double(spoken.samples.size()) / sampleRate);
            spoken.samples.insert(spoken.samples.end(), voice.begin(), voice.end());
            spoken.words << piece;
            spoken.wordEnds.push_back(double(spoken.samples.size()) / sampleRate);
        }
        pending.clear();
    };
    for (const QChar c : text) {
        if (c == u' ' || c == u'+' || c == u'，' || c == u'、' || c == u'。' || c == u'？' || c == u'！') {
            flush();
            const double pause = c == u' ' ? wordGapSeconds
                : c == u'+'                ? 0.0
                : c == u'，' || c == u'、' ? commaPauseSeconds
                                           : stopPauseSeconds;
            gap = std::max(gap, pause);
        } else {
            pending += c;
        }
    }
    flush();
    appendQuiet(spoken.samples, tailSeconds);
    return spoken;
}

QStringList conditions()
{
    return {QStringLiteral("clean"), QStringLiteral("faster"), QStringLiteral("slower"), QStringLiteral("higher"),
        QStringLiteral("lower"), QStringLiteral("reverb"), QStringLiteral("noise"), QStringLiteral("quiet")};
}

std::vector<float> inCondition(const std::vector<float> &samples, const QString &condition, int variant)
{
    if (condition == QStringLiteral("faster") || condition == QStringLiteral("slower")) {
        return throughSox(samples,
            {QStringLiteral("tempo"), QStringLiteral("-s"),
                condition == QStringLiteral("faster") ? QStringLiteral("1.25") : QStringLiteral("0.8")});
    }
    if (condition == QStringLiteral("higher") || condition == QStringLiteral("lower")) {
        return throughSox(samples,
            {QStringLiteral("pitch"),
                condition == QStringLiteral("higher") ? QStringLiteral("300") : QStringLiteral("-300")});
    }
    if (condition == QStringLiteral("reverb")) {
        // Rooms from an office to a bare hall; the level as before the room.
        const QString reverberance = QString::number(50 + variant * 7 % 40);
        const QString room = QString::number(50 + variant * 13 % 50);
        return throughSox(samples,
            {QStringLiteral("gain"), QStringLiteral("-6"), QStringLiteral("reverb"), reverberance, QStringLiteral("50"),
                room, QStringLiteral("gain"), QStringLiteral("6")});
    }
    std::vector<float> out = samples;
    if (condition == QStringLiteral("noise")) {
        const double level = voiceRms(samples) * std::pow(10.0, -15.0 / 20.0);
        const std::vector<float> noise = pinkNoise(out.size(), 1000u + unsigned(variant));
        for (size_t i = 0; i < out.size(); ++i) {
            out[i] = std::clamp(out[i] + float(level) * noise[i], -1.0f, 1.0f);
        }
    } else if (condition == QStringLiteral("quiet")) {
        std::mt19937 random(2000u + unsigned(variant));
        std::normal_distribution<float> hiss(0.0f, 0.0003f);
        for (float &s : out) {
            s = s * 0.1f + hiss(random);
        }
    }
    return out;
}

QString clip(const QString &text, const QString &condition)
{
    const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/real-speech");
    const QByteArray key = QCryptographicHash::hash(
        (QString::fromLatin1(clipVersion) + u'|' + condition + u'|' + text).toUtf8(), QCryptographicHash::Sha1);
    const QString path = dir + QLatin1Char('/') + QString::fromLatin1(key.toHex().left(20)) + QStringLiteral(".wav");
    if (QFile::exists(path)) {
        return path;
    }
    const Spoken spoken = say(text);
    if (!spoken.missing.isEmpty() || spoken.words.isEmpty()) {
        return {};
    }
    const std::vector<float> samples = inCondition(spoken.samples, condition, int(qHash(text) % 97));
    QDir().mkpath(dir);
    // Written aside and moved in whole: other test processes may want it too.
    const QString partial = path + QStringLiteral(".%1.part").arg(QCoreApplication::applicationPid());
    if (samples.empty() || !writeWav(partial, samples) || !QFile::rename(partial, path)) {
        QFile::remove(partial);
        return QFile::exists(path) ? path : QString();
    }
    return path;
}

bool writeWav(const QString &path, const std::vector<float> &samples)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    QByteArray bytes;
    const auto put32 = [&](quint32 v) { bytes.append(reinterpret_cast<const char *>(&v), 4); };
    const auto put16 = [&](quint16 v) { bytes.append(reinterpret_cast<const char *>(&v), 2); };
    const quint32 size = quint32(samples.size() * 2);
    bytes.append("RIFF");
    put32(36 + size);
    bytes.append("WAVEfmt ");
    put32(16);
    put16(1);
    put16(1);
    put32(sampleRate);
    put32(sampleRate * 2);
    put16(2);
    put16(16);
    bytes.append("data");
    put32(size);
    for (float sample : samples) {
        put16(quint16(qint16(std::lround(std::clamp(sample, -1.0f, 1.0f) * 32767))));
    }
    return file.write(bytes) == bytes.size();
}

} // namespace RealSpeech
