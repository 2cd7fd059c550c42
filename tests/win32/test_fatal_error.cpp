// The fatal error report: out of memory in a handler shows the error box
// over a disabled program and, once it is closed, ends the program with exit
// code 1. Runs fatal_error_probe.exe, which says by its exit code what it saw.

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace yunque {
namespace {

TEST(FatalErrorReport, ShowsTheBoxThenEndsTheProgramWithExitCode1)
{
    const test::TempFolder folder;
    std::wstring command = L"\"" + std::wstring(FATAL_ERROR_PROBE) + L"\" \"" + folder.path().wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    const DWORD waited = WaitForSingleObject(process.hProcess, 30000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    if (waited != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ASSERT_EQ(waited, WAIT_OBJECT_0);
    EXPECT_EQ(code, 1U) << "2: the failure escaped the handler, 3: no report box, 4: the program was not disabled";
}

} // namespace
} // namespace yunque
