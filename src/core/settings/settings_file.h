#pragma once
// The settings file "Accessi.ini", section "Impostazioni": how each key is read into the shared
// settings, and the writes of the settings window. Every key is read with an empty default into a
// 10-character buffer, so a value holds at most 9 characters; the reading rules work on that
// buffer (value, NUL, blanks), never on a trimmed value.

#include <cstdint>
#include <functional>
#include <string>

#include "core/settings/impostazioni.h"

namespace vc {

inline constexpr const char* SezioneImpostazioni = "Impostazioni";

// The 10-character buffer of one key, as cp1252 bytes.
std::string LeggiBuffer(const std::string& file, const std::string& key);

// The reading rules.
bool RegolaSi(const std::string& buffer);             // on only when it begins with "Si"
bool RegolaNo(const std::string& buffer);             // off only when it begins with "No" or "NO"
double RegolaNumero(const std::string& buffer);       // numeric value of the buffer
std::int16_t RegolaIndirizzo(const std::string& buffer);  // first three characters as hexadecimal
std::int16_t RegolaPorta(const std::string& buffer);  // first character as a number
std::string RegolaOrario(const std::string& buffer);  // first five characters, as UTF-8 text

// The characters before the first NUL; 'yield' runs once for every character examined.
std::string PulisciStringa(const std::string& text, const std::function<void()>& yield = {});

// Reads every key into 'imp' ("Utenti" only when asked), then derives the band flags.
// 'yield' is handed to PulisciStringa for the name key (a doEvents there yields: platform/events.h).
void LeggiImpostazioni(const std::string& file, Impostazioni& imp, bool conUtenti,
                       const std::function<void()>& yield = {});
void CalcolaFasceAttive(Impostazioni& imp);

// Writes one key of the section; the value is UTF-8 and stored in cp1252.
bool ScriviImpostazione(const std::string& file, const std::string& key, const std::string& value);

}  // namespace vc
