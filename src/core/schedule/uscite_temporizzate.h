#pragma once
// Timed outputs: while automatic outputs are on, every 10 seconds the schedule file "Date.txt"
// is read from the top and the first active rule that applies today switches an output of
// every reader on (now inside its band) or off (outside).

#include <cstdint>
#include <string>

namespace vc {

class App;

// The kind of a schedule line from its first characters: 1 a date ("Data"), 2-8 a weekday
// (Sunday 2 .. Saturday 8), 9 every day ("Orario"), 0 never. The text is cp1252.
std::int16_t TipoRigaDate(const std::string& riga);

// Sends the output command, on (1) or off (0), to every reader in table order. Yields
// (platform/events.h), as does a tick below.
void Settaggio_output_lettore(App& app, std::int16_t scom);

// One tick of the timed outputs; one that finds the line busy runs as soon as it is free.
void UsciteTemporizzate(App& app);

}  // namespace vc
