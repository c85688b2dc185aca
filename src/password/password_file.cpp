#include "password/password_file.h"

#include "core/app.h"
#include "platform/cp1252.h"
#include "platform/profile.h"

namespace vc {

std::optional<std::string> CodificaPassword(const std::string& password) {
    bool lossy = false;
    const std::string chiaro = cp1252::fromUtf8(password, &lossy);
    if (lossy) return std::nullopt;
    std::string corpo;
    for (std::size_t i = 0; i < chiaro.size(); ++i) {
        const int codice = static_cast<unsigned char>(chiaro[i]) + static_cast<int>(i + 1);
        if (codice > 255) return std::nullopt;
        corpo += static_cast<char>(codice);
    }
    return InizioPassword + corpo + FinePassword;
}

std::string DecodificaPassword(App& app, const std::string& s) {
    auto termina = [&app]() {
        app.MsgBox("Errore nel controllo password. Il programma sarà terminato.", mb::Critical, "Errore");
        app.End();
    };
    if (s.size() < 6 || s.compare(0, 3, InizioPassword) != 0 || s.compare(s.size() - 3, 3, FinePassword) != 0)
        termina();
    std::string chiaro;
    for (std::size_t i = 3; i + 3 < s.size(); ++i) {
        const int codice = static_cast<unsigned char>(s[i]) - static_cast<int>(i - 2);
        // A hand-edited value can decode below the first code: it is as malformed as a missing marker.
        if (codice < 0) termina();
        chiaro += static_cast<char>(codice);
    }
    return cp1252::toUtf8(chiaro);
}

std::string LeggiPassword(const std::string& file) {
    std::string buffer(30, ' ');
    profile::getString(SezionePassword, ChiavePassword, "", buffer, file);
    return buffer.substr(0, std::min(buffer.find('\0'), std::size_t{22}));
}

}  // namespace vc
