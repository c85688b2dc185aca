#pragma once
// Dates of the history window as the database counts them: day numbers from 30/12/1899, the time
// of day as the fraction (so 1/1/2010 is 40179), the values CDATE gives in the history queries.

#include <optional>
#include <string>
#include <string_view>

#include "platform/day_number.h"

namespace vc {

// The day a "day/month[/year]" text names: blanks around the text and its parts are ignored; a
// missing year is 'annoCorrente'; a year of one or two digits is 2000-2029 for 0-29 and
// 1930-1999 for 30-99. Anything else, or a day the month has not, gives nothing.
std::optional<long> ConvertiData(std::string_view testo, int annoCorrente);

// The date and time of a transit's "dd/mm/yyyy" and "hh:mm" texts; nothing when either is not one.
std::optional<double> DataOra(std::string_view data, std::string_view ora);

// "dd/mm/yyyy", the short date form of the captions and of the date fields.
std::string TestoData(long numeroGiorno);

// "dd/mm/yy-hh:mm:ss", the form of the attendance rows.
std::string TestoDataOra(double dataOra);

// Whole minutes from one date and time to another.
long MinutiTra(double da, double a);

}  // namespace vc
