#pragma once
// The card archive of the archive reader family: App.Path/<name>.txt, one quoted record a line
// ending in CR LF. A record is a 3-digit record number, then the 6-character card code the reader
// reports; characters 4-9 are the key. The utilities window writes it, the poll engine looks card
// codes up in it, and both read its lines by the rules below.

#include <optional>
#include <string>

namespace vc {

// A card code the archive can hold: 6 printable characters, none a double quote. Anything else
// from a reader (a reply carrying CR LF, say) would forge or break a line.
bool CodiceCartaValido(const std::string& codice);

// The record of one line as read (its CR and its quotes removed): 3 digits, then the card code.
// Nothing when the line is not a record; a blank line is not one either, and callers skip it
// without a word. Codes are not checked here: an archive may hold codes of other lengths from
// before, which the look-ups compare on 6 characters.
std::optional<std::string> RecordArchivio(std::string riga);

// The line that holds 'record' at the end of the archive whose last byte is 'ultimo' (nothing for
// an empty file): a last line left without its end is ended first, or the record would be glued to
// it. A NUL is a byte like any other there: only an empty file has no last line to end.
std::string RigaDaAccodare(std::optional<char> ultimo, const std::string& record);

}  // namespace vc
