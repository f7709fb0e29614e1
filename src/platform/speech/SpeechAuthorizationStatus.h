#pragma once

#include <QObject>

namespace Speech {
Q_NAMESPACE

// The answer to a speech recognition permission request.
enum class AuthorizationStatus { NotDetermined, Denied, Restricted, Authorized };
Q_ENUM_NS(AuthorizationStatus)
} // namespace Speech
