#pragma once
// The site folder the program runs on (App.Path), built from the shipped template folder site/:
//   Accessi.ini, pswaccessi.txt, *.rpt   copied only when missing: a site's settings, password
//                                        and reports are never overwritten (pswaccessi.txt
//                                        gets ModoFilePassword);
//   Varcanto.mdb                         the site database, created from varcanto.sql (WAL journal)
//                                        only when missing: an existing one holds the site's data;
//   RepVarcanto.mdb.schema               the report database template, always rebuilt afresh from
//                                        repvarcanto.sql (start-up copies it over RepVarcanto.mdb).
// Each database is built beside its final name and renamed into place, so a failure never leaves
// a half-built database that a later run would take for a complete one.

#include <string>

namespace vc {

// The password file is its owner's alone: its scrambling is no secret from anyone who can read it.
inline constexpr unsigned ModoFilePassword = 0600;

// Creates targetDir (and its parents) when needed and fills it as above.
// Throws std::runtime_error naming the file and the cause on any failure.
void makeSiteFolder(const std::string& templateDir, const std::string& targetDir);

}  // namespace vc
