#include "app/AppResources.h"

#include <QtGlobal>

static void initialiseBundledResources()
{
    Q_INIT_RESOURCE(resources);
}

void AppResources::ensureLoaded()
{
    static const bool loaded = [] {
        initialiseBundledResources();
        return true;
    }();
    Q_UNUSED(loaded);
}
