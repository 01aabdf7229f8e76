#pragma once
// Test helpers for the simulator.
// SimPeer: one device and one session whose output is collected; `send` returns
// what the device answers at once, `after(ms)` what it reports while its clock
// moves on. expectMirrors(): checks that a driver's copy of every register
// equals what the simulated device holds.

#include "device_model.h"

#include <register_table.h>
#include <vrk_610_d.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace varnel::sim::test {

struct SimPeer {
    explicit SimPeer(std::string_view model = "VRK610", double nakShare = 0.0, std::uint32_t seed = 1)
        : device(*findModel(model)),
          session(device, [this](std::string_view t, bool) { out += t; }, nakShare, seed)
    {
    }
    std::string send(std::string_view text)
    {
        out.clear();
        session.receive(text);
        return out;
    }
    std::string after(std::int64_t ms)
    {
        out.clear();
        device.advance(ms);
        return out;
    }

    DeviceModel device;
    std::string out;
    SimSession session;
};

/// The lines of a text, without their CR LF.
inline std::vector<std::string> linesOf(const std::string &text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

inline std::string dotted(const DeviceModel &device, int address)
{
    std::string s;
    for (int k = 0; k < 4; ++k) {
        if (k)
            s += '.';
        s += std::to_string(device.octet(address, k));
    }
    return s;
}

/// Compares every register of the driver with the device. `selectChannel(k)`
/// must make the driver's PCHAN k (through a report of the device).
inline void expectMirrors(TVRK_610_d &driver, const DeviceModel &device, const std::function<void(int)> &selectChannel)
{
    for (int i = 0; i < kRegisterCount; ++i) {
        const auto index = static_cast<std::uint16_t>(i);
        const RegisterInfo &info = registerInfo(index);
        if (info.storage != Storage::Plain || i == idx(Reg::AMX) || i == idx(Reg::XCR))
            continue;
        EXPECT_EQ(driver.ReadVar(index), device.value(index)) << info.name;
    }
    EXPECT_EQ(driver.LOCAL_IP(), dotted(device, 1));
    EXPECT_EQ(driver.REMOTE_IP(), dotted(device, 2));
    EXPECT_EQ(driver.GATEWAY_IP(), dotted(device, 3));
    EXPECT_EQ(driver.LOCAL_PORT(), static_cast<std::int32_t>(device.port(1)));
    EXPECT_EQ(driver.REMOTE_PORT(), static_cast<std::int32_t>(device.port(2)));
    const std::uint32_t hostBits = device.value(Reg::NETMASK);
    const std::uint32_t mask = hostBits >= 32 ? 0 : ~((1u << hostBits) - 1u);
    EXPECT_EQ(driver.NETMASK(), std::to_string(mask >> 24) + "." + std::to_string((mask >> 16) & 255) + "." +
                                    std::to_string((mask >> 8) & 255) + "." + std::to_string(mask & 255));
    for (int ch = 1; ch <= kChannelCount; ++ch) {
        selectChannel(ch);
        ASSERT_EQ(driver.ReadVar(Reg::PCHAN), static_cast<std::uint32_t>(ch));
        for (int i = 0; i < kRegisterCount; ++i) {
            const auto index = static_cast<std::uint16_t>(i);
            if (registerInfo(index).storage == Storage::PerChannel) {
                EXPECT_EQ(driver.ReadVar(index), device.channelValue(index, ch))
                    << registerInfo(index).name << " channel " << ch;
            }
        }
    }
}

}  // namespace varnel::sim::test
