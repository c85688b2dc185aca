#pragma once
// The password file "pswaccessi.txt": section "Varcanto", key "File", value "°°°" & body & "§§§",
// where character i of the body is character i of the password raised by i (code page 1252).

#include <optional>
#include <string>

namespace vc {

class App;

inline constexpr const char* SezionePassword = "Varcanto";
inline constexpr const char* ChiavePassword = "File";
// "°°°" and "§§§" in code page 1252.
inline constexpr const char* InizioPassword = "\xB0\xB0\xB0";
inline constexpr const char* FinePassword = "\xA7\xA7\xA7";

// The stored value (cp1252 bytes) of a password typed as UTF-8; nothing when a character is not
// in the code page or would be raised past its last code.
std::optional<std::string> CodificaPassword(const std::string& password);

// The password (UTF-8) of a stored value (cp1252 bytes); a malformed value shows
// "Errore nel controllo password. Il programma sarà terminato." and ends the program.
std::string DecodificaPassword(App& app, const std::string& stored);

// The stored value as the login reads it: at most 22 characters, cut at the first NUL.
std::string LeggiPassword(const std::string& file);

}  // namespace vc
