#pragma once
// A window standing in for one a test does not exercise: it has the name and caption, and closing
// it unloads it.

#include "core/app.h"

namespace vc::test {

class StandIn final : public Form {
public:
    StandIn(App& app, const std::string& name) : Form(app, name) { setCaption(name); }
};

// Registers stand-ins under these names, replacing the real windows.
inline void standIns(App& app, std::initializer_list<const char*> names) {
    for (const char* name : names)
        app.registerForm(name, [name](App& a) { return std::make_unique<StandIn>(a, name); });
}

}  // namespace vc::test
