#pragma once

#include "library/Script.h"

#include <optional>

// What the editor is opened for: a new script, or changes to an existing one.
class ScriptEditMode {
public:
    static ScriptEditMode add() { return ScriptEditMode(std::nullopt); }
    static ScriptEditMode edit(const Script &script) { return ScriptEditMode(script); }

    bool isEdit() const { return m_script.has_value(); }
    // The script being edited; absent when adding.
    const std::optional<Script> &script() const { return m_script; }

private:
    explicit ScriptEditMode(std::optional<Script> script) : m_script(std::move(script)) { }

    std::optional<Script> m_script;
};
