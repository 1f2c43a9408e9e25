// The stand-in's pipes: current user only (one allowing entry, for this user), remote
// clients rejected.
#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "SimPipeServer.h"

namespace {

std::string SidText(PSID sid)
{
    char* text = nullptr;
    std::string result;
    if (ConvertSidToStringSidA(sid, &text)) {
        result = text;
        LocalFree(text);
    }
    return result;
}

std::string CurrentUser()
{
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    std::vector<char> buffer(512);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, buffer.data(), DWORD(buffer.size()), &size);
    CloseHandle(token);
    return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

TEST(SimSecurityTest, PipeRejectsRemoteClientsAndAllowsTheCurrentUserOnly)
{
    EXPECT_TRUE(SIM_PIPE_MODE & PIPE_REJECT_REMOTE_CLIENTS);
    EXPECT_TRUE(SIM_PIPE_MODE & PIPE_TYPE_MESSAGE);

    std::string name = "\\\\.\\pipe\\kvx-security-" + std::to_string(GetCurrentProcessId());
    HANDLE pipe = CreateSimPipe(name, 4096, true);
    ASSERT_NE(INVALID_HANDLE_VALUE, pipe) << GetLastError();

    DWORD flags = 0;
    ASSERT_TRUE(GetNamedPipeInfo(pipe, &flags, nullptr, nullptr, nullptr));
    EXPECT_TRUE(flags & PIPE_TYPE_MESSAGE);

    // The descriptor the pipe is created with: one allowing entry, this user, protected.
    PSECURITY_DESCRIPTOR sd = SimPipeSecurity();
    ASSERT_NE(nullptr, sd);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(sd, &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED);
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted));
    ASSERT_TRUE(present && dacl);
    ASSERT_EQ(1u, dacl->AceCount);
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, 0, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, ace->Header.AceType);
    EXPECT_EQ(CurrentUser(), SidText(&ace->SidStart));

    // And the pipe object carries it.
    PACL objectDacl = nullptr;
    PSECURITY_DESCRIPTOR objectSd = nullptr;
    if (GetSecurityInfo(pipe, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        &objectDacl, nullptr, &objectSd) == ERROR_SUCCESS) {
        ASSERT_NE(nullptr, objectDacl);
        EXPECT_EQ(1u, objectDacl->AceCount);
        LocalFree(objectSd);
    }
    CloseHandle(pipe);
}

} // namespace
