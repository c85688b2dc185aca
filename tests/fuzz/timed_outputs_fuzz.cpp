// "Date.txt": any schedule is read without fault at any time; a tick sends nothing or the same
// output command to every reader, once each; the first rule that applies decides, so lines
// after it change nothing.
//
// Input: the time of the tick (month, day, hour, minute), a chunk of lines added after the
// schedule, then the schedule.

#include "core/schedule/uscite_temporizzate.h"
#include "core/settings/frm_prog_setup.h"
#include "fuzz/fuzz.h"
#include "reader_sim/reader_sim.h"

namespace vc::fuzz {

namespace {

// A schedule line: the text placed at its 1-based columns, blanks elsewhere.
std::string Riga(std::initializer_list<std::pair<std::size_t, std::string>> pezzi) {
    std::string r(44, ' ');
    for (auto& [colonna, testo] : pezzi) r.replace(colonna - 1, testo.size(), testo);
    return r;
}
std::string RigaData(const char* giorno, const char* mese, const char* da, const char* a, const char* segno = "X") {
    return Riga({{1, "Data"}, {6, giorno}, {8, "/"}, {9, mese}, {25, da}, {36, a}, {42, segno}});
}
std::string RigaGiorno(const std::string& giorno, const char* da, const char* a, const char* segno = "X") {
    return Riga({{1, giorno}, {17, da}, {28, a}, {34, segno}});
}

}  // namespace

std::vector<std::string> Seeds() {
    // The timed outputs' tests: their schedules at their times of Thursday 10/12/2026.
    const std::string altro = RigaGiorno("Orario", "00:00", "23:59") + "\r\n";
    const std::vector<std::string> date = {
        RigaData("10", "12", "08:00", "18:00") + "\r\n",
        RigaData("11", "12", "00:00", "23:59") + "\r\n" + RigaGiorno("Gioved\xEC", "08:00", "09:00", " ") + "\r\n" +
            "Orario, e una virgola" + std::string(30, ' ') + "X\r\ndata 10/12\r\n" +
            RigaGiorno("Gioved\xEC", "10:00", "11:00") + "\r\n" + altro,
        altro, "", "\"" + RigaGiorno("Domenica", "00:00", "23:59") + "\",\"x\"\r\n"};
    std::vector<std::string> seeds;
    for (const auto& d : date)
        for (auto [ora, minuto] : {std::pair{18, 0}, {18, 1}, {7, 59}, {8, 30}, {10, 30}})
            seeds.push_back(Seed().byte(12).byte(10).byte(static_cast<std::uint8_t>(ora))
                                .byte(static_cast<std::uint8_t>(minuto)).chunk(altro).rest(d));
    return seeds;
}

namespace {

test::Station& Stazione() {
    test::Station& s = station([](test::Station& st) {
        for (int i = 1; i <= 2; ++i)
            st.sql("INSERT INTO Lettori (CodiceImpianto, Stato, NumeroLoop, NumeroIndirizzo) "
                   "VALUES ('000123', 'In', 1, " + std::to_string(i) + ")");
        st.serial.onWrite = [&st](const std::string& frame) {
            st.serial.deliver(sim::replyFrame(test::commandText(frame).substr(0, 2) + "S"), 5);
        };
    });
    s.app().form<FrmProgSetup>();
    s.app().OutputAutomatico = true;
    return s;
}

// The command texts one tick sends on this schedule.
std::vector<std::string> Tick(test::Station& s, const std::string& date) {
    writeFile(s.site.file("Date.txt"), date);
    s.serial.writes.clear();
    UsciteTemporizzate(s.app());
    s.loop.doEvents();
    return s.serial.takeTexts();
}

}  // namespace

}  // namespace vc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vc;
    test::Station& s = fuzz::Stazione();
    fuzz::Input in(data, size);
    const int mese = in.byte() % 12 + 1, giorno = in.byte() % 31 + 1, ora = in.byte() % 24, minuto = in.byte() % 60;
    s.clock.set({2026, mese, giorno, ora, minuto, 30});
    const std::string dopo = in.chunk(), date = in.rest();

    const std::vector<std::string> inviati = fuzz::Tick(s, date);
    if (!inviati.empty()) {
        const std::string& primo = inviati[0];
        fuzz::check(primo == "01000123O00" || primo == "01000123O01", "a tick switches an output on or off");
        fuzz::check(inviati == (std::vector<std::string>{primo, "02" + primo.substr(2)}),
                    "a tick sends the same command to every reader, once each");
        fuzz::check(fuzz::Tick(s, date + "\n" + dopo) == inviati, "lines after the rule that decides change nothing");
    }
    return 0;
}
