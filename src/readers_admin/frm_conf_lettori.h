#pragma once
// The readers window. Its data control on "Lettori" is also what the reader table loads from.

#include "core/app.h"

namespace vc {

class FrmConfLettori final : public Form {
public:
    static constexpr const char* kName = "FrmConfLettori";
    explicit FrmConfLettori(App& app);

    Data Data1{*this, "Data1"};

protected:
    void Form_Load() override;
    void Form_QueryClose() override;

private:
    App& app_;
};

}  // namespace vc
