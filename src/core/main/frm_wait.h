#pragma once
// The wait window shown around long operations.

#include "core/app.h"

namespace vc {

class FrmWait final : public Form {
public:
    static constexpr const char* kName = "FrmWait";
    explicit FrmWait(App& app);

    Label Label1{*this, "Label1"};
};

}  // namespace vc
