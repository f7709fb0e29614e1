#include "platform/speech/SpeechEngine.h"

#include "platform/speech/SpeechKeywords.h"

#include <QDir>
#include <QFileInfo>

#include <cstddef>
#include <cstring>
#include <dlfcn.h>
#include <vector>

namespace {
const QString modelName = QStringLiteral("kws-zh-wenetspeech-3.3M");
const QString libraryName = QStringLiteral("libsherpa-onnx-c-api.so");

bool complete(const SpeechEngineLocation &location)
{
    return QFileInfo::exists(location.libraryPath)
        && QFileInfo::exists(location.modelDir + QStringLiteral("/tokens.txt"));
}

sherpa::OnlineModelConfig modelConfig(
    const QByteArray &encoder, const QByteArray &decoder, const QByteArray &joiner, const QByteArray &tokens)
{
    sherpa::OnlineModelConfig config;
    std::memset(&config, 0, sizeof config);
    config.transducer.encoder = encoder.constData();
    config.transducer.decoder = decoder.constData();
    config.transducer.joiner = joiner.constData();
    config.tokens = tokens.constData();
    config.numThreads = 1;
    config.provider = "cpu";
    return config;
}
} // namespace

SpeechEngineLocation SpeechEngineLocation::standard()
{
    // An installed program carries the engine in its run path ($ORIGIN/speech);
    // the build tree's program has none and uses the set-up's copy.
    if (const std::optional<SpeechEngineLocation> found = firstIn(librarySearchPath())) {
        return *found;
    }
    const QString deps = QStringLiteral(VELTROSCOPE_DEPS_DIR);
    return {deps + QStringLiteral("/sherpa-onnx/node_modules/sherpa-onnx-linux-x64/") + libraryName,
        deps + QStringLiteral("/models/") + modelName};
}

std::optional<SpeechEngineLocation> SpeechEngineLocation::firstIn(const QStringList &folders)
{
    for (const QString &folder : folders) {
        const QString dir = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
        const SpeechEngineLocation location{dir + libraryName, dir + modelName};
        if (complete(location)) {
            return location;
        }
    }
    return std::nullopt;
}

QStringList SpeechEngineLocation::librarySearchPath()
{
    // The main program's handle: its RUNPATH is what a dlopen by name from our
    // code searches. Opening it again costs nothing and needs no close.
    void *self = dlopen(nullptr, RTLD_LAZY | RTLD_NOLOAD);
    Dl_serinfo size;
    if (!self || dlinfo(self, RTLD_DI_SERINFOSIZE, &size) != 0 || size.dls_size < sizeof(Dl_serinfo)) {
        return {};
    }
    // The list comes back as one block: the header, then the paths' texts.
    std::vector<std::max_align_t> block(size.dls_size / sizeof(std::max_align_t) + 1);
    auto *info = reinterpret_cast<Dl_serinfo *>(block.data());
    info->dls_size = size.dls_size;
    info->dls_cnt = size.dls_cnt;
    if (dlinfo(self, RTLD_DI_SERINFO, info) != 0) {
        return {};
    }
    QStringList folders;
    for (unsigned int i = 0; i < info->dls_cnt; ++i) {
        folders.append(QString::fromLocal8Bit(info->dls_serpath[i].dls_name));
    }
    return folders;
}

std::shared_ptr<SpeechEngine> SpeechEngine::load(
    const SpeechEngineLocation &location, QString *error, const QByteArray &keywordLines)
{
    if (!complete(location)) {
        if (error) {
            *error = QStringLiteral("speech engine or model not found: %1, %2")
                         .arg(location.libraryPath, location.modelDir);
        }
        return nullptr;
    }
    std::shared_ptr<SpeechEngine> engine(new SpeechEngine);
    engine->m_api = sherpa::Api::load(location.libraryPath, error);
    if (!engine->m_api) {
        return nullptr;
    }

    const QString dir = location.modelDir + QLatin1Char('/');
    const QByteArray encoder
        = (dir + QStringLiteral("encoder-epoch-12-avg-2-chunk-16-left-64.int8.onnx")).toLocal8Bit();
    const QByteArray decoder = (dir + QStringLiteral("decoder-epoch-12-avg-2-chunk-16-left-64.onnx")).toLocal8Bit();
    const QByteArray joiner = (dir + QStringLiteral("joiner-epoch-12-avg-2-chunk-16-left-64.int8.onnx")).toLocal8Bit();
    const QByteArray tokens = (dir + QStringLiteral("tokens.txt")).toLocal8Bit();
    const QByteArray keywords = keywordLines.isEmpty() ? SpeechKeywords::spotterLines() : keywordLines;

    sherpa::KeywordSpotterConfig spotterConfig;
    std::memset(&spotterConfig, 0, sizeof spotterConfig);
    spotterConfig.featConfig = {sampleRate, 80};
    spotterConfig.modelConfig = modelConfig(encoder, decoder, joiner, tokens);
    spotterConfig.maxActivePaths = 4;
    spotterConfig.numTrailingBlanks = 1;
    spotterConfig.keywordsScore = 1.0f;
    spotterConfig.keywordsThreshold = 0.25f;
    spotterConfig.keywordsBuf = keywords.constData();
    spotterConfig.keywordsBufSize = int32_t(keywords.size());
    engine->m_spotter = engine->m_api->createKeywordSpotter(&spotterConfig);

    sherpa::OnlineRecognizerConfig recognizerConfig;
    std::memset(&recognizerConfig, 0, sizeof recognizerConfig);
    recognizerConfig.featConfig = {sampleRate, 80};
    recognizerConfig.modelConfig = modelConfig(encoder, decoder, joiner, tokens);
    recognizerConfig.decodingMethod = "greedy_search";
    recognizerConfig.maxActivePaths = 4;
    recognizerConfig.enableEndpoint = 1;
    recognizerConfig.rule1MinTrailingSilence = 2.4f;
    recognizerConfig.rule2MinTrailingSilence = 1.2f;
    recognizerConfig.rule3MinUtteranceLength = 20.0f;
    engine->m_recognizer = engine->m_api->createOnlineRecognizer(&recognizerConfig);

    if (!engine->m_spotter || !engine->m_recognizer) {
        if (error) {
            *error = QStringLiteral("speech model could not be loaded: %1").arg(location.modelDir);
        }
        return nullptr;
    }
    return engine;
}

std::shared_ptr<SpeechEngine> SpeechEngine::shared(QString *error)
{
    // Loaded on first use and kept: loading the model takes a noticeable moment.
    static std::shared_ptr<SpeechEngine> engine;
    static QString loadError;
    static bool tried = false;
    if (!tried) {
        tried = true;
        engine = load(SpeechEngineLocation::standard(), &loadError);
    }
    if (!engine && error) {
        *error = loadError;
    }
    return engine;
}

SpeechEngine::~SpeechEngine()
{
    if (m_spotter) {
        m_api->destroyKeywordSpotter(m_spotter);
    }
    if (m_recognizer) {
        m_api->destroyOnlineRecognizer(m_recognizer);
    }
}
