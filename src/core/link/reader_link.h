#pragma once
// The station's reader link: the exchanges of its one reader line (reader_line.h states what an
// exchange does, how it waits and yields, and that exchanges never nest), by the names the rest
// of the station calls them.
//
// Every exchange and QuandoLineaLibera yield: see platform/events.h.

#include <string>

#include "core/app.h"
#include "core/link/frame.h"
#include "core/link/reader_line.h"

namespace vc {

inline std::string invia_comando(App& app, std::string& testo) { return app.Linea.invia_comando(testo); }
inline std::string invia_comando_veloce(App& app, std::string& testo) { return app.Linea.invia_comando_veloce(testo); }
inline std::string invia_comando_medio(App& app, std::string& testo) { return app.Linea.invia_comando_medio(testo); }
inline std::string invia_comando(App& app, std::string& testo, int loop) { return app.Linea.invia_comando(testo, loop); }
inline std::string invia_comando_veloce(App& app, std::string& testo, int loop) {
    return app.Linea.invia_comando_veloce(testo, loop);
}
inline std::string invia_comando_medio(App& app, std::string& testo, int loop) {
    return app.Linea.invia_comando_medio(testo, loop);
}

}  // namespace vc
