#pragma once
// Test doubles for the application windows.
// RecordingTransport: give it to a driver with setTransport(CON_TCP, ...) and
// select CON_TCP; every write the driver makes is kept in order.
// makeWindow(): a main window over a driver with a manual timer and a recording
// TCP transport, initialised as at start-up but without companions.
// fullDump(dev): the text a device sends for a query-all: "#1", one report per
// register with a value inside its range, "#0".

#include "main_window.h"
#include "register_table.h"
#include "vrk_610_d.h"

#include <memory>
#include <string>
#include <vector>

namespace varnel::app::test {

class RecordingTransport : public LinkTransport {
public:
    void write(std::string_view text) override { writes.emplace_back(text); }
    bool isOpen() const override { return true; }
    std::vector<std::string> writes;
};

struct WindowUnderTest {
    std::unique_ptr<TForm_Main_VarnelOrla> window;
    RecordingTransport *tcp = nullptr;
    TVRK_610_d &driver() { return window->VRK_610_d1(); }
    void receive(const std::string &text) { driver().ReceiveText(text); }
};

inline WindowUnderTest makeWindow()
{
    auto driver = std::make_unique<TVRK_610_d>();
    auto transport = std::make_unique<RecordingTransport>();
    WindowUnderTest w;
    w.tcp = transport.get();
    driver->setTransport(tConnectionType::CON_TCP, std::move(transport));
    driver->setConType(tConnectionType::CON_TCP);
    w.window = std::make_unique<TForm_Main_VarnelOrla>(std::move(driver));
    w.window->initialise();
    w.tcp->writes.clear();
    return w;
}

inline std::string report(Reg reg, std::uint32_t value)
{
    return std::string(registerInfo(reg).record.RespCode) + std::to_string(value) + "\r\n";
}

inline std::string fullDump(std::uint32_t dev)
{
    std::string text = "#1\r\n";
    for (int i = 0; i < kRegisterCount; ++i) {
        const RegisterInfo &r = registerInfo(std::uint16_t(i));
        if (r.record.RespCode == "NULL" || i == idx(Reg::queryall))
            continue;
        const std::uint32_t value = i == idx(Reg::DEV) ? dev : std::uint32_t(r.maximum);
        text += std::string(r.record.RespCode) + std::to_string(value) + "\r\n";
    }
    return text + "#0\r\n";
}

}  // namespace varnel::app::test
