#pragma once

#include <QString>

#include <cstdint>
#include <memory>

// Our own declarations of the few parts of the sherpa-onnx C API (1.13.4) we
// use. The library ships without a header and is loaded at run time, so the
// program still starts where it is missing. Layouts are pinned below: a
// mismatch with the library would corrupt memory silently.
namespace sherpa {

struct OnlineTransducerModelConfig {
    const char *encoder;
    const char *decoder;
    const char *joiner;
};

struct OnlineParaformerModelConfig {
    const char *encoder;
    const char *decoder;
};

struct SingleModelConfig {
    const char *model;
};

struct OnlineModelConfig {
    OnlineTransducerModelConfig transducer;
    OnlineParaformerModelConfig paraformer;
    SingleModelConfig zipformer2Ctc;
    const char *tokens;
    int32_t numThreads;
    const char *provider;
    int32_t debug;
    const char *modelType;
    const char *modelingUnit;
    const char *bpeVocab;
    const char *tokensBuf;
    int32_t tokensBufSize;
    SingleModelConfig nemoCtc;
    SingleModelConfig toneCtc;
};

struct FeatureConfig {
    int32_t sampleRate;
    int32_t featureDim;
};

struct OnlineCtcFstDecoderConfig {
    const char *graph;
    int32_t maxActive;
};

struct HomophoneReplacerConfig {
    const char *dictDir;
    const char *lexicon;
    const char *ruleFsts;
};

struct OnlineRecognizerConfig {
    FeatureConfig featConfig;
    OnlineModelConfig modelConfig;
    const char *decodingMethod;
    int32_t maxActivePaths;
    int32_t enableEndpoint;
    float rule1MinTrailingSilence;
    float rule2MinTrailingSilence;
    float rule3MinUtteranceLength;
    const char *hotwordsFile;
    float hotwordsScore;
    OnlineCtcFstDecoderConfig ctcFstDecoderConfig;
    const char *ruleFsts;
    const char *ruleFars;
    float blankPenalty;
    const char *hotwordsBuf;
    int32_t hotwordsBufSize;
    HomophoneReplacerConfig homophoneReplacer;
};

struct OnlineRecognizerResult {
    const char *text;
    const char *tokens;
    const char *const *tokensArr;
    float *timestamps;
    int32_t count;
    const char *json;
};

struct KeywordSpotterConfig {
    FeatureConfig featConfig;
    OnlineModelConfig modelConfig;
    int32_t maxActivePaths;
    int32_t numTrailingBlanks;
    float keywordsScore;
    float keywordsThreshold;
    const char *keywordsFile;
    const char *keywordsBuf;
    int32_t keywordsBufSize;
};

struct KeywordResult {
    const char *keyword;
    const char *tokens;
    const char *const *tokensArr;
    int32_t count;
    float *timestamps;
    float startTime;
    const char *json;
};

#if defined(__x86_64__)
static_assert(sizeof(OnlineModelConfig) == 136);
static_assert(sizeof(OnlineRecognizerConfig) == 272);
static_assert(sizeof(KeywordSpotterConfig) == 184);
static_assert(sizeof(OnlineRecognizerResult) == 48);
static_assert(sizeof(KeywordResult) == 56);
#endif

struct OnlineRecognizer;
struct OnlineStream;
struct KeywordSpotter;

// The loaded library: one set of entry points, valid while this lives.
class Api {
public:
    // Loads the library from `libraryPath`; null (with `error` set) when it or
    // one of its functions is missing.
    static std::shared_ptr<const Api> load(const QString &libraryPath, QString *error);
    ~Api();
    Api(const Api &) = delete;
    Api &operator=(const Api &) = delete;

    const OnlineRecognizer *(*createOnlineRecognizer)(const OnlineRecognizerConfig *) = nullptr;
    void (*destroyOnlineRecognizer)(const OnlineRecognizer *) = nullptr;
    const OnlineStream *(*createOnlineStream)(const OnlineRecognizer *) = nullptr;
    void (*destroyOnlineStream)(const OnlineStream *) = nullptr;
    void (*acceptWaveform)(const OnlineStream *, int32_t sampleRate, const float *samples, int32_t n) = nullptr;
    void (*inputFinished)(const OnlineStream *) = nullptr;
    int32_t (*isOnlineStreamReady)(const OnlineRecognizer *, const OnlineStream *) = nullptr;
    void (*decodeOnlineStream)(const OnlineRecognizer *, const OnlineStream *) = nullptr;
    const OnlineRecognizerResult *(*getOnlineStreamResult)(const OnlineRecognizer *, const OnlineStream *) = nullptr;
    void (*destroyOnlineRecognizerResult)(const OnlineRecognizerResult *) = nullptr;
    int32_t (*isEndpoint)(const OnlineRecognizer *, const OnlineStream *) = nullptr;
    void (*resetOnlineStream)(const OnlineRecognizer *, const OnlineStream *) = nullptr;

    const KeywordSpotter *(*createKeywordSpotter)(const KeywordSpotterConfig *) = nullptr;
    void (*destroyKeywordSpotter)(const KeywordSpotter *) = nullptr;
    const OnlineStream *(*createKeywordStream)(const KeywordSpotter *) = nullptr;
    int32_t (*isKeywordStreamReady)(const KeywordSpotter *, const OnlineStream *) = nullptr;
    void (*decodeKeywordStream)(const KeywordSpotter *, const OnlineStream *) = nullptr;
    void (*resetKeywordStream)(const KeywordSpotter *, const OnlineStream *) = nullptr;
    const KeywordResult *(*getKeywordResult)(const KeywordSpotter *, const OnlineStream *) = nullptr;
    void (*destroyKeywordResult)(const KeywordResult *) = nullptr;

private:
    Api() = default;
    void *m_handle = nullptr;
};

} // namespace sherpa
