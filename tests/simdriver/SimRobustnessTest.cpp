// The stand-in under abuse: more clients than it serves, and start-up options that could
// never work are refused at once with a message that names what the user gave.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "SimFixture.h"
#include "SimPipeServer.h"

namespace {

// Address space a process holds (reserved or committed) and what of it is committed.
struct Footprint {
    size_t held = 0;
    size_t committed = 0;
};

Footprint FootprintOf(HANDLE process)
{
    Footprint f;
    MEMORY_BASIC_INFORMATION info;
    for (char* at = nullptr; VirtualQueryEx(process, at, &info, sizeof info) == sizeof info &&
                             at + info.RegionSize > at;
         at = static_cast<char*>(info.BaseAddress) + info.RegionSize) {
        if (info.State != MEM_FREE)
            f.held += info.RegionSize;
        if (info.State == MEM_COMMIT)
            f.committed += info.RegionSize;
    }
    return f;
}

class SimClientLimitTest : public SimFixture {
protected:
    void TearDown() override
    {
        for (HANDLE h : clients)
            CloseHandle(h);
    }

    std::string PipePath() const { return "\\\\.\\pipe\\" + sim.PipeName(); }

    // Connects until the pipe stays busy; the stand-in may need a moment to offer the next
    // instance, so a busy pipe is waited for once before it counts.
    void ConnectUntilBusy(size_t most, const std::string& path)
    {
        while (clients.size() < most) {
            HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
            if (h != INVALID_HANDLE_VALUE) {
                clients.push_back(h);
                continue;
            }
            lastError = GetLastError();
            if (lastError != ERROR_PIPE_BUSY || !WaitNamedPipeA(path.c_str(), 500))
                return;
        }
    }

    std::vector<HANDLE> clients;
    DWORD lastError = 0;
};

TEST_F(SimClientLimitTest, ClientsBeyondTheLimitFindThePipeBusyAndTheServedOnesGoOn)
{
    ConnectUntilBusy(1, PipePath());
    ASSERT_EQ(1u, clients.size());
    ULONG serverId = 0;
    ASSERT_TRUE(GetNamedPipeServerProcessId(clients[0], &serverId));
    HANDLE server = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, serverId);
    ASSERT_NE(nullptr, server);
    Footprint before = FootprintOf(server);

    ConnectUntilBusy(700, PipePath()); // far more than a thread each could ever carry
    // drv of the fixture is one client already.
    EXPECT_EQ(size_t(SIM_MAX_CLIENTS - 1), clients.size());
    EXPECT_EQ(DWORD(ERROR_PIPE_BUSY), lastError);
    Footprint after = FootprintOf(server);
    CloseHandle(server);
    size_t added = clients.size() - 1;
    std::printf("[ figures  ] per client: %zu KiB address space, %zu KiB committed\n",
                (after.held - before.held) / added / 1024,
                (after.committed - before.committed) / added / 1024);

    ASSERT_TRUE(sim.Running()) << sim.Log();
    _KVX_USB_DRIVER_INFO info = {};
    EXPECT_EQ(0u, drv.GetDriverInfo(&info));
    EXPECT_EQ(0, sim.Run({"status"}).exitCode); // the control pipe has slots of its own

    // A client that goes makes room for the next.
    CloseHandle(clients.back());
    clients.pop_back();
    ASSERT_TRUE(WaitNamedPipeA(PipePath().c_str(), 5000));
    CKvxuUsbDriver late;
    EXPECT_EQ(0u, late.Open(KVX_USB_DEVICE_NAME));
}

TEST_F(SimClientLimitTest, ACommandFindingEveryControlConnectionTakenSaysTheStandInIsBusy)
{
    ConnectUntilBusy(700, PipePath() + ".control");
    ASSERT_EQ(size_t(SIM_MAX_CLIENTS), clients.size());
    SimResult r = sim.Run({"status"});
    EXPECT_EQ(2, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("is busy")) << r.output;

    CloseHandle(clients.back());
    clients.pop_back();
    r = sim.Run({"status"});
    EXPECT_EQ(0, r.exitCode) << r.output;
}

class SimStartTest : public ::testing::Test {
protected:
    SimDriverProcess sim;
};

TEST_F(SimStartTest, AStateFileThatCouldNeverBeSavedIsRefusedAtStart)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    for (std::string state :
         {std::string("Z:\\no\\such\\folder\\state.json"), std::string(folder)}) {
        SCOPED_TRACE(state);
        EXPECT_FALSE(sim.Start("demo", {"--state", state}));
        EXPECT_NE(std::string::npos, sim.Log().find(state)) << sim.Log();
    }
}

TEST_F(SimStartTest, AMissingScenarioIsNamedAsGiven)
{
    const std::string path = "Z:\\no\\such\\folder\\lab.json";
    EXPECT_FALSE(sim.Start(path));
    std::string log = sim.Log();
    EXPECT_NE(std::string::npos, log.find("cannot read scenario file " + path)) << log;
    EXPECT_EQ(std::string::npos, log.find(".json.json")) << log;
    EXPECT_EQ(std::string::npos, log.find("scenarios\\Z:")) << log;

    EXPECT_FALSE(sim.Start("nosuchscenario"));
    EXPECT_NE(std::string::npos, sim.Log().find("scenarios\\nosuchscenario.json")) << sim.Log();
}

} // namespace
