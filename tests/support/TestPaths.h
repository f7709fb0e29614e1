#pragma once

#include <QString>

// Where the tests find the source tree, the speech engine and model, the
// shared recordings and their own build. Kept out of every other file's
// compile flags, so that a checkout in another folder compiles to the same
// objects and the compiler cache serves it.
namespace TestPaths {
QString sourceDir();
QString depsDir();
QString sharedDir();
QString buildDir();
// The GStreamer plugin registry all test processes of one build share.
QString gstRegistry();
} // namespace TestPaths
