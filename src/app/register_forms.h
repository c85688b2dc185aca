#pragma once

namespace vc {
class App;
// Tells the registry how to make every window of the program.
void registerForms(App& app);
}  // namespace vc
