#pragma once
// A window that is not built yet: it has its name and caption, and closing it brings the main
// window back, as the finished window will.

#include "core/app.h"

namespace vc {

class FinestraVuota final : public Form {
public:
    FinestraVuota(App& app, const std::string& name, const std::string& caption);

protected:
    void Form_QueryClose() override;

private:
    App& app_;
};

}  // namespace vc
