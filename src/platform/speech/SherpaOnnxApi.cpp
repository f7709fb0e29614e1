#include "platform/speech/SherpaOnnxApi.h"

#include <dlfcn.h>

namespace sherpa {

namespace {
template <typename Function> bool resolve(void *handle, const char *name, Function &target, QString *error)
{
    target = reinterpret_cast<Function>(dlsym(handle, name));
    if (!target && error) {
        *error = QStringLiteral("missing symbol %1").arg(QLatin1StringView(name));
    }
    return target != nullptr;
}
} // namespace

std::shared_ptr<const Api> Api::load(const QString &libraryPath, QString *error)
{
    // RTLD_LOCAL keeps onnxruntime's symbols out of the global namespace.
    void *handle = dlopen(libraryPath.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (error) {
            *error = QString::fromLocal8Bit(dlerror());
        }
        return nullptr;
    }
    std::shared_ptr<Api> api(new Api);
    api->m_handle = handle;
    const bool complete = resolve(handle, "SherpaOnnxCreateOnlineRecognizer", api->createOnlineRecognizer, error)
        && resolve(handle, "SherpaOnnxDestroyOnlineRecognizer", api->destroyOnlineRecognizer, error)
        && resolve(handle, "SherpaOnnxCreateOnlineStream", api->createOnlineStream, error)
        && resolve(handle, "SherpaOnnxDestroyOnlineStream", api->destroyOnlineStream, error)
        && resolve(handle, "SherpaOnnxOnlineStreamAcceptWaveform", api->acceptWaveform, error)
        && resolve(handle, "SherpaOnnxOnlineStreamInputFinished", api->inputFinished, error)
        && resolve(handle, "SherpaOnnxIsOnlineStreamReady", api->isOnlineStreamReady, error)
        && resolve(handle, "SherpaOnnxDecodeOnlineStream", api->decodeOnlineStream, error)
        && resolve(handle, "SherpaOnnxGetOnlineStreamResult", api->getOnlineStreamResult, error)
        && resolve(handle, "SherpaOnnxDestroyOnlineRecognizerResult", api->destroyOnlineRecognizerResult, error)
        && resolve(handle, "SherpaOnnxOnlineStreamIsEndpoint", api->isEndpoint, error)
        && resolve(handle, "SherpaOnnxOnlineStreamReset", api->resetOnlineStream, error)
        && resolve(handle, "SherpaOnnxCreateKeywordSpotter", api->createKeywordSpotter, error)
        && resolve(handle, "SherpaOnnxDestroyKeywordSpotter", api->destroyKeywordSpotter, error)
        && resolve(handle, "SherpaOnnxCreateKeywordStream", api->createKeywordStream, error)
        && resolve(handle, "SherpaOnnxIsKeywordStreamReady", api->isKeywordStreamReady, error)
        && resolve(handle, "SherpaOnnxDecodeKeywordStream", api->decodeKeywordStream, error)
        && resolve(handle, "SherpaOnnxResetKeywordStream", api->resetKeywordStream, error)
        && resolve(handle, "SherpaOnnxGetKeywordResult", api->getKeywordResult, error)
        && resolve(handle, "SherpaOnnxDestroyKeywordResult", api->destroyKeywordResult, error);
    if (!complete) {
        return nullptr;
    }
    return api;
}

Api::~Api()
{
    if (m_handle) {
        dlclose(m_handle);
    }
}

} // namespace sherpa
