#include "common/archivio_carte.h"

#include <algorithm>

namespace vc {

namespace {
constexpr std::size_t LunghezzaCodice = 6;
bool Cifra(char c) { return c >= '0' && c <= '9'; }
}  // namespace

bool CodiceCartaValido(const std::string& codice) {
    return codice.size() == LunghezzaCodice &&
           std::all_of(codice.begin(), codice.end(), [](char c) { return c >= ' ' && c <= '~' && c != '"'; });
}

std::optional<std::string> RecordArchivio(std::string riga) {
    if (!riga.empty() && riga.back() == '\r') riga.pop_back();
    if (riga.size() >= 2 && riga.front() == '"' && riga.back() == '"') riga = riga.substr(1, riga.size() - 2);
    if (riga.size() <= 3 || !std::all_of(riga.begin(), riga.begin() + 3, Cifra)) return std::nullopt;
    return riga;
}

std::string RigaDaAccodare(std::optional<char> ultimo, const std::string& record) {
    const char* fineRiga = !ultimo || *ultimo == '\n' ? "" : *ultimo == '\r' ? "\n" : "\r\n";
    return fineRiga + ('"' + record + "\"\r\n");
}

}  // namespace vc
