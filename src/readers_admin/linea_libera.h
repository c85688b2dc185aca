#pragma once
// Programming a reader or its archive addresses it on the shared line: refused while polling or
// the automatic outputs could address readers there too.

namespace vc {

class App;

// True when neither polling nor the automatic outputs are on; otherwise says which and gives false.
bool LineaLibera(App& app);

}  // namespace vc
