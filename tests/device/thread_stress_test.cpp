// The picture transfer worker switches modes, swaps the OnRecString handler, sends
// and takes raw text while the user-interface thread keeps appending arrivals.
// Built also under ThreadSanitizer (VARNEL_TSAN) where any data race fails it.
#include "driver_fixture.h"

#include <atomic>
#include <thread>

using namespace varnel;
using namespace varnel::test;

TEST(DriverThreads, WorkerAndArrivalsDoNotRace)
{
    TVRK_610_d driver;
    auto t = std::make_unique<RecordingTransport>();
    auto *tcp = t.get();
    driver.setTransport(tConnectionType::CON_TCP, std::move(t));
    driver.setConType(tConnectionType::CON_TCP);
    driver.setConMode(tConnectionMode::MODE_VAR);

    std::atomic<bool> stop{false};
    std::atomic<long> taken{0};
    std::atomic<long> handlerCalls{0};
    std::thread worker([&] {
        for (int i = 0; i < 2000; ++i) {
            driver.setConMode(tConnectionMode::MODE_RAW);
            auto previous = driver.handler(Event::OnRecString);
            driver.setHandler(Event::OnRecString, [&](TVRK_610_d &d, int) {
                ++handlerCalls;
                taken += long(d.TakeRawString().size());
            });
            driver.SendRaw(":0100000001FE\r");
            taken += long(driver.TakeRawString().size());
            driver.setHandler(Event::OnRecString, previous);
            driver.setConMode(tConnectionMode::MODE_VAR);
        }
        stop = true;
    });
    long arrivals = 0;
    while (!stop) {
        driver.ReceiveText("CN3\r\n.1\r");
        ++arrivals;
    }
    worker.join();
    EXPECT_GT(arrivals, 0);
    EXPECT_EQ(tcp->writes().size(), 2000u);
    EXPECT_LE(driver.RecBuffer().size(), std::size_t(TVRK_610_d::kRecBufferKeep));
}
