#pragma once

// The bundled resources live in the static core library, whose initialiser the
// linker drops unless something asks for it.
class AppResources {
public:
    static void ensureLoaded();
};
