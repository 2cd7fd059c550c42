// The entry point of the Windows shell's test program. The tests create real
// windows and controls, which need a desktop with a display driver. Under
// Wine, ctest gives none (no X display), so the program starts itself again
// on a desktop of its own that runs Wine's null display driver: windows,
// controls and messages behave as usual, nothing is drawn on a screen, and
// the layout is the same on every machine. The inner run writes its exit
// code to a file that the outer one returns. On Windows the tests run as
// they are.

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

constexpr wchar_t childOption[] = L"--yunque-on-test-desktop";

bool underWine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::wstring quoted(const wchar_t *argument)
{
    return L"\"" + std::wstring(argument) + L"\"";
}

int runTests(int argc, wchar_t **argv)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// Runs this program again, with the same arguments, on a fresh desktop with
// the null display driver; returns its exit code.
int runOnTestDesktop(int argc, wchar_t **argv)
{
    wchar_t self[MAX_PATH * 4] = {};
    wchar_t folder[MAX_PATH] = {};
    wchar_t resultFile[MAX_PATH] = {};
    if (!GetModuleFileNameW(nullptr, self, static_cast<DWORD>(std::size(self)))
        || !GetTempPathW(static_cast<DWORD>(std::size(folder)), folder)
        || !GetTempFileNameW(folder, L"yqt", 0, resultFile)) {
        std::fputs("cannot prepare the test desktop\n", stderr);
        return 1;
    }
    std::wstring command = L"explorer.exe /desktop=yunque-tests-" + std::to_wstring(GetCurrentProcessId())
                           + L",1024x768,null " + quoted(self) + L" " + childOption + L" " + quoted(resultFile);
    for (int index = 1; index < argc; ++index)
        command += L" " + quoted(argv[index]);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::fputs("cannot start the test desktop\n", stderr);
        DeleteFileW(resultFile);
        return 1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    // The desktop's process may end a moment before the tests have written
    // their result: wait for it a little.
    int result = -1;
    for (int attempt = 0; attempt < 200 && result < 0; ++attempt) {
        std::ifstream in{std::filesystem::path(resultFile)};
        if (!(in >> result))
            result = -1;
        if (result < 0)
            Sleep(50);
    }
    DeleteFileW(resultFile);
    if (result < 0) {
        std::fputs("the tests on the test desktop ended without a result\n", stderr);
        return 1;
    }
    return result;
}

} // namespace

// The entry point of a wide-character program (-municode).
int wmain(int argc, wchar_t **argv);

int wmain(int argc, wchar_t **argv)
{
    if (argc >= 3 && std::wcscmp(argv[1], childOption) == 0) {
        const std::wstring resultFile = argv[2];
        // The arguments after ours are the caller's.
        argv[2] = argv[0];
        int count = argc - 2;
        const int result = runTests(count, argv + 2);
        std::fflush(stdout);
        std::ofstream{std::filesystem::path(resultFile)} << result << '\n';
        return result;
    }
    if (underWine())
        return runOnTestDesktop(argc, argv);
    return runTests(argc, argv);
}
