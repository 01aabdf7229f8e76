// The register table is the one source for codes, ranges, save kinds and events;
// these checks catch a row that was lost, reordered or mistyped.
#include "register_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace varnel;

TEST(RegisterTable, RowsAreInIndexOrderWithUniqueCommandCodes)
{
    std::set<std::string_view> commands;
    for (int i = 0; i < kRegisterCount; ++i) {
        EXPECT_EQ(VarTable[i].VarIndex, i);
        EXPECT_TRUE(commands.insert(VarTable[i].CmdCode).second) << "duplicate command " << VarTable[i].CmdCode;
        EXPECT_GE(VarTable[i].RespCode.size(), 1u);
        EXPECT_LE(VarTable[i].RespCode.size(), 4u);
    }
}

TEST(RegisterTable, NoResponseCodeBeginsAnotherExceptTheTwoNulls)
{
    for (int i = 0; i < kRegisterCount; ++i)
        for (int j = 0; j < kRegisterCount; ++j) {
            if (i == j || ((i == 8 || i == 9) && (j == 8 || j == 9)))
                continue;
            EXPECT_FALSE(VarTable[j].RespCode.starts_with(VarTable[i].RespCode))
                << VarTable[i].RespCode << " begins " << VarTable[j].RespCode;
        }
    EXPECT_EQ(VarTable[8].RespCode, "NULL");
    EXPECT_EQ(VarTable[9].RespCode, "NULL");
}

TEST(RegisterTable, SelectedRowsCarryTheirCodesRangesAndEvents)
{
    struct Row {
        Reg reg;
        std::string_view cmd, resp, name, event;
        std::int32_t lo, hi;
        TSaveKind save;
        bool writable;
    };
    const Row rows[] = {
        {Reg::ADDRDBG, "@", "ADBG", "ADDRDBG", "OnADDRDBGchange", 0, 65535, TSaveKind::SAVE_NONE, true},
        {Reg::DEV, "?", "DEV", "DEV", "OnDEVchange", 0, 65535, TSaveKind::SAVE_NONE, false},
        {Reg::Ready, "*", "*", "Ready", "OnReady", 0, 1, TSaveKind::SAVE_NONE, false},
        {Reg::XCR, "X\r", "NULL", "XCR", "OnXCRchange", 0, 65535, TSaveKind::SAVE_NONE, true},
        {Reg::UNITy, "UN", "UN", "UNITy", "OnUNITchange", 0, 65535, TSaveKind::SAVE_NONE, false},
        {Reg::ICHNM, "CN", "CN", "ICHNM", "OnICHNMchange", 1, 12, TSaveKind::SAVE_VALUE, true},
        {Reg::PENA, "PE", "PE", "PENA", "OnPENAchange", 0, 1, TSaveKind::SAVE_PER_CHANNEL, true},
        {Reg::IP4, "nw", "nw", "IP4", "", 0, 255, TSaveKind::SAVE_NONE, true},
        {Reg::IPPORT, "np", "np", "IPPORT", "", 0, 65535, TSaveKind::SAVE_NONE, true},
        {Reg::NETMASK, "nk", "nk", "NETMASK", "OnNETMASKchange", 0, 24, TSaveKind::SAVE_NONE, true},
        {Reg::EFFPC, "ec", "ec", "EFFPC", "OnEFFPCchange", 30, 255, TSaveKind::SAVE_NONE, true},
        {Reg::PIPIMGVSIZ, "pv", "pv", "PIPIMGVSIZ", "OnPIPIMGVSIZchange", 0, 65535, TSaveKind::SAVE_VALUE, false},
        {Reg::queryall, "#", "#", "queryall", "OnQUERYALLchange", 0, 1, TSaveKind::SAVE_NONE, false},
    };
    for (const Row &r : rows) {
        const RegisterInfo &info = registerInfo(r.reg);
        SCOPED_TRACE(std::string(r.name));
        EXPECT_EQ(info.record.CmdCode, r.cmd);
        EXPECT_EQ(info.record.RespCode, r.resp);
        EXPECT_EQ(info.name, r.name);
        EXPECT_EQ(info.eventName, r.event);
        EXPECT_EQ(VarRanges[idx(r.reg)].minimum, r.lo);
        EXPECT_EQ(VarRanges[idx(r.reg)].maximum, r.hi);
        EXPECT_EQ(info.record.SaveKind, r.save);
        EXPECT_EQ(info.writable, r.writable);
    }
    EXPECT_EQ(idx(Reg::queryall), 288);
    EXPECT_EQ(idx(Reg::PCHAN), 119);
}

TEST(RegisterTable, SaveKindsAndStorageCounts)
{
    int value = 0, perChannel = 0, channelIndexed = 0;
    for (int i = 0; i < kRegisterCount; ++i) {
        value += VarTable[i].SaveKind == TSaveKind::SAVE_VALUE;
        perChannel += VarTable[i].SaveKind == TSaveKind::SAVE_PER_CHANNEL;
        channelIndexed += registerInfo(std::uint16_t(i)).storage == Storage::PerChannel;
    }
    EXPECT_EQ(value, 37);       // a mini configuration has 37 + 11 * 16 = 213 lines
    EXPECT_EQ(perChannel, 11);
    EXPECT_EQ(channelIndexed, 19);
}

TEST(RegisterTable, LookupsByCommandNameAndEvent)
{
    EXPECT_EQ(registerByCommand("cn"), idx(Reg::ICHNP));
    EXPECT_EQ(registerByCommand("X\r"), idx(Reg::XCR));
    EXPECT_FALSE(registerByCommand("zz"));
    EXPECT_EQ(registerByName("PCHAN"), idx(Reg::PCHAN));
    EXPECT_EQ(eventByName("OnICHMchange"), eventOf(Reg::ICHM));
    EXPECT_EQ(eventByName("OnQUERYALLchange"), eventOf(Reg::queryall));
    EXPECT_EQ(eventByName("OnConnected"), eventOf(Event::OnConnected));
    EXPECT_EQ(eventName(eventOf(Event::OnVarNroLigneMiniConfigOfFile)), "OnVarNroLigneMiniConfigOfFile");
    EXPECT_FALSE(eventByName("OnIP4change"));
}
