#pragma once
// Checks of the time texts the operator types: "HH:MM", or "##:##" for not set.
// Each shows its own message box when it fails; the caller then names the field.

#include <string>

namespace vc {

class App;

inline constexpr const char* OrarioNonImpostato = "##:##";

bool controllo_orario(App& app, const std::string& orario);
// A band (from, to): both unset, or both set with from strictly earlier than to. Both texts have
// passed controllo_orario already.
bool controllo_fascia(App& app, const std::string& da, const std::string& a);

}  // namespace vc
