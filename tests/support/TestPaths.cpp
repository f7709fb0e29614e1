#include "support/TestPaths.h"

namespace TestPaths {
QString sourceDir() { return QStringLiteral(VELTROSCOPE_SOURCE_DIR); }
QString depsDir() { return QStringLiteral(VELTROSCOPE_DEPS_DIR); }
QString sharedDir() { return QStringLiteral(VELTROSCOPE_SHARED_DIR); }
QString buildDir() { return QStringLiteral(VELTROSCOPE_BUILD_DIR); }
QString gstRegistry() { return buildDir() + QStringLiteral("/gst-registry.bin"); }
} // namespace TestPaths
