#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// The capture session's microphone as speech hears it: 16 kHz mono float from
// the session's own sound branch, each chunk stamped with when it was
// captured on the session's clock. Listening opens no device of its own, so
// the take, the level meter and the listener hear one capture on one clock.
//
// Sessions attach as they are made; the latest one alive is heard. Any thread;
// the listeners' callbacks run on the session's streaming thread, or on the
// thread that changed the session's microphone.
class CaptureAudioFeed {
public:
    // Samples, their count, and when the first was captured (steady-clock seconds).
    using Sink = std::function<void(const float *samples, size_t count, double captureTime)>;
    // The microphone went away under a listener; told once, then it hears nothing.
    using Interruption = std::function<void(const QString &reason)>;

    enum class Microphone {
        pending, // the session has not set up its devices yet: sound may come
        running, // its sound branch runs
        none, // set up without a microphone, or the microphone failed
    };

    static std::shared_ptr<CaptureAudioFeed> shared();

    // Listener side. Zero, with `error` set, when no session has or may get a microphone.
    uint64_t subscribe(Sink sink, Interruption interrupted, QString *error);
    // When it returns, neither callback of `listener` runs any more.
    void unsubscribe(uint64_t listener);

    // Session side.
    uint64_t attachSession();
    void detachSession(uint64_t session);
    // `reason` says why there is none.
    void setMicrophone(uint64_t session, Microphone state, const QString &reason = {});
    void deliver(uint64_t session, const float *samples, size_t count, double captureTime);

    Microphone microphone() const;

private:
    struct Listener {
        uint64_t id;
        Sink sink;
        Interruption interrupted;
    };
    struct Session {
        uint64_t id;
        Microphone microphone = Microphone::pending;
    };

    // The session heard; none when the list is empty. Called with the lock held.
    const Session *current() const;
    void interruptAll(const QString &reason);

    // Held while callbacks run, so unsubscribe() can promise none runs after it.
    mutable std::recursive_mutex m_mutex;
    uint64_t m_nextID = 1;
    std::vector<Session> m_sessions; // oldest first
    std::vector<Listener> m_listeners;
};
