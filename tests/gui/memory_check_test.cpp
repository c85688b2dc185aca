// Memory while polling: 64 simulated readers polled on the fake clock with the front end up. The
// short form runs 3 minutes of polling; VARCANTO_MEMORY_MINUTES=10 gives the long one. After the
// first minute the resident size must stay within 1 MB.

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "core/main/frm_main.h"
#include "gui_support.h"
#include "platform/database.h"
#include "reader_sim/reader_sim.h"

namespace vc {
namespace {

long residentKb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

int minutes() {
    const char* v = std::getenv("VARCANTO_MEMORY_MINUTES");
    return v && std::atoi(v) >= 2 ? std::atoi(v) : 3;
}

// The readers answer on the fake line as they would on the real one, a few ms after each frame.
void collega(test::Station& s, sim::Simulator& sim) {
    s.serial.onWrite = [&s, &sim](const std::string& bytes) {
        const std::int64_t now = s.clock.monotonicMs();
        sim.receive(bytes, now);
        if (std::string reply = sim.take(now + 1000); !reply.empty()) s.serial.deliver(std::move(reply), 5);
    };
}

TEST(MemoryCheck, PollingSixtyFourReadersKeepsMemoryFlat) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the address sanitizer holds freed memory in quarantine: the resident size says nothing";
#endif
    test::OnScreen o;
    test::Station& s = o.station;
    s.setting("Polling", "100");  // one round of the 64 readers a second, a tick every 16 ms
    sim::Simulator sim;
    for (int n = 1; n <= 64; ++n) {
        s.sql("INSERT INTO Lettori (TipoLettore, SituatoPresso, CodiceImpianto, Ritardo, Stato, PosCarta1, PosCarta2, "
              "PosCarta3, PosCarta4, PosCodice1, PosCodice2, PosCodice3, PosCodice4, PosCodice5, PosCodice6, "
              "NumeroLoop, NumeroIndirizzo) VALUES ('KOVA KV-M1', 'VARCO   ', '000123', 3, 'InOut', 0, 1, 2, 3, "
              "4, 5, 6, 7, 8, 9, 1, " + std::to_string(n) + ")");
        sim.addReader({1, n, 123});
    }
    collega(s, sim);
    s.clock.quantum = 1;  // a pass of the loop takes about a millisecond, as it does for real
    o.start();
    auto& main = o.app().form<FrmMain>();
    ASSERT_EQ(o.app().NumeroLettori, 64);
    main.Command4.click();

    const std::int64_t minuto = 60'000;
    std::vector<long> campioni;  // one every 10 s after the first minute
    const std::int64_t inizio = s.clock.monotonicMs();
    std::size_t giri = 0;
    for (std::int64_t prossimo = inizio + minuto; prossimo <= inizio + minutes() * minuto; prossimo += 10'000) {
        while (s.clock.monotonicMs() < prossimo) s.loop.doEvents();
        // The fakes log every frame: emptied here, so that only the station's memory is measured.
        giri += sim.reader(1, 64).commands.size();
        for (sim::Reader& r : sim.readers()) r.commands.clear();
        s.serial.writes.clear();
        campioni.push_back(residentKb());
    }
    ASSERT_GT(giri, static_cast<std::size_t>(minutes() * 20));  // every reader polled, again and again

    // The slope over the measured minutes, by least squares, for the record.
    const double n = static_cast<double>(campioni.size());
    double sx = 0, sy = 0, sxy = 0, sxx = 0;
    for (std::size_t i = 0; i < campioni.size(); ++i) {
        const double x = static_cast<double>(i) / 6.0, y = static_cast<double>(campioni[i]);
        sx += x, sy += y, sxy += x * y, sxx += x * x;
    }
    const double pendenza = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    std::printf("memory: %zu rounds of 64 polls; %ld kB after the first minute, %ld kB after %d minutes, "
                "slope %.1f kB per minute\n",
                giri, campioni.front(), campioni.back(), minutes(), pendenza);
    long minimo = campioni.front(), massimo = campioni.front();
    for (long c : campioni) minimo = std::min(minimo, c), massimo = std::max(massimo, c);
    EXPECT_LE(massimo - minimo, 1024) << "resident size from " << minimo << " to " << massimo << " kB";
}

}  // namespace
}  // namespace vc
