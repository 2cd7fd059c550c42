// Both windows as their definitions lay them out, the start sequence, the
// keys every window shares and the program's message handling.

#include "app/win32/disclaimer_window.h"
#include "app/win32/wide_text.h"
#include "common/process_events.h"
#include "keywords/keyword_file.h"
#include "window_test_support.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

namespace yunque {
namespace {

using test::drainMessages;
using test::pressKey;

RECT windowRect(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

// The window's rectangle and every control's rectangle in the client area,
// against the definition scaled to the window's dpi; centred on the screen.
void expectLayout(const ConventionalWindow &window)
{
    const WindowDefinition &definition = window.definition();
    const int dpi = window.dpi();
    const RECT outer = windowRect(window.handle());
    const SIZE size{outer.right - outer.left, outer.bottom - outer.top};
    EXPECT_EQ(size.cx, scaledLength(definition.outerSize.width, dpi));
    EXPECT_EQ(size.cy, scaledLength(definition.outerSize.height, dpi));
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - size.cy) / 2);

    const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    for (const ControlDefinition &control : definition.controls) {
        HWND handle = window.control(control.name);
        if (control.kind == ControlKind::FileDialog) {
            EXPECT_EQ(handle, nullptr);
            continue;
        }
        ASSERT_NE(handle, nullptr);
        RECT rect = windowRect(handle);
        MapWindowPoints(nullptr, window.handle(), reinterpret_cast<POINT *>(&rect), 2);
        const ControlGeometry &g = control.geometry;
        const RECT expected{scaledLength(g.left, dpi), scaledLength(g.top, dpi),
                            scaledLength(g.left, dpi) + scaledLength(g.width, dpi),
                            scaledLength(g.top, dpi) + scaledLength(g.height, dpi)};
        EXPECT_TRUE(EqualRect(&rect, &expected)) << "control " << std::string(wideText(control.name).size(), '?');
        EXPECT_EQ(windowText(handle), wideText(control.text));
        EXPECT_EQ(static_cast<WPARAM>(SendMessageW(handle, WM_GETFONT, 0, 0)), font);
    }
}

void expectConventionalFrame(HWND window)
{
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

// Runs work once the next message loop (a modal one included) is running.
class LoopCallback {
public:
    explicit LoopCallback(std::function<void()> work)
        : m_work(std::move(work))
    {
        m_window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LoopCallback::procedure)));
        PostMessageW(m_window, WM_APP, 0, 0);
    }
    ~LoopCallback() { DestroyWindow(m_window); }
    LoopCallback(const LoopCallback &) = delete;
    LoopCallback &operator=(const LoopCallback &) = delete;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto *self = reinterpret_cast<LoopCallback *>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_APP && self) {
            self->m_work();
            return 0;
        }
        return CallWindowProcW(self->m_previous, window, message, wParam, lParam);
    }

    std::function<void()> m_work;
    HWND m_window = nullptr;
    WNDPROC m_previous = nullptr;
};

class StatementWindowTest : public testing::Test {
protected:
    void TearDown() override
    {
        if (mainWindow && mainWindow->handle())
            DestroyWindow(mainWindow->handle());
        drainMessages();
    }

    // The statement window, shown modally as at start; work runs inside its
    // loop. Returns once the window is gone.
    void showStatement(const std::function<void(DisclaimerWindow &)> &work)
    {
        auto statement = std::make_shared<DisclaimerWindow>(folder.path());
        LoopCallback callback([&] { work(*statement); });
        loadWindow(statement, true);
        EXPECT_EQ(statement->handle(), nullptr);
    }

    // The main window of the program, once one is open.
    static std::shared_ptr<MainWindow> findMainWindow()
    {
        HWND handle = FindWindowW(nullptr, wideText(mainWindowDefinition.title).c_str());
        auto *window = dynamic_cast<MainWindow *>(ConventionalWindow::owning(handle));
        return window ? std::static_pointer_cast<MainWindow>(window->shared_from_this()) : nullptr;
    }

    test::TempFolder folder;
    std::shared_ptr<MainWindow> mainWindow;
};

TEST_F(StatementWindowTest, IsLaidOutOwnedByAHiddenWindowAndFocusesItsButton)
{
    bool checked = false;
    showStatement([&](DisclaimerWindow &statement) {
        expectLayout(statement);
        expectConventionalFrame(statement.handle());
        // An owned window has no taskbar button; its owner is never shown.
        HWND owner = GetWindow(statement.handle(), GW_OWNER);
        EXPECT_NE(owner, nullptr);
        EXPECT_FALSE(IsWindowVisible(owner));
        EXPECT_EQ(GetFocus(), statement.按钮1);
        EXPECT_FALSE(GetWindowLongPtrW(statement.按钮1, GWL_STYLE) & BS_DEFPUSHBUTTON);
        EXPECT_EQ(windowText(statement.标签1), wideText(disclaimerStatement));
        checked = true;
        SendMessageW(statement.handle(), WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(checked);
    EXPECT_EQ(openWindowCount(), 0);
    EXPECT_EQ(findMainWindow(), nullptr);
    EXPECT_TRUE(folder.names().empty());
}

TEST_F(StatementWindowTest, KeysThatCloseOrDoNothing)
{
    // Enter does nothing; Esc closes from the focused button.
    showStatement([](DisclaimerWindow &statement) {
        pressKey(statement.按钮1, VK_RETURN);
        EXPECT_NE(statement.handle(), nullptr);
        EXPECT_EQ(findMainWindow(), nullptr);
        pressKey(statement.按钮1, VK_ESCAPE);
    });
    EXPECT_EQ(openWindowCount(), 0);
    EXPECT_TRUE(folder.names().empty());
}

TEST_F(StatementWindowTest, AcceptingOpensTheMainWindowBeforeTheStatementGoes)
{
    bool mainShownFirst = false;
    showStatement([&](DisclaimerWindow &statement) {
        SendMessageW(statement.按钮1, BM_CLICK, 0, 0);
        // The click has returned: the main window is up and has read the
        // keyword file; the statement's destruction is still queued.
        mainWindow = findMainWindow();
        mainShownFirst = mainWindow && IsWindowVisible(mainWindow->handle()) && statement.handle();
    });
    EXPECT_TRUE(mainShownFirst);
    ASSERT_NE(mainWindow, nullptr);
    EXPECT_EQ(GetWindow(mainWindow->handle(), GW_OWNER), nullptr);
    EXPECT_TRUE(IsWindowEnabled(mainWindow->handle()));
    EXPECT_EQ(openWindowCount(), 1);
    EXPECT_EQ(folder.names(), std::vector<std::string>({std::string(keywordFileName)}));
}

class MainWindowLayoutTest : public test::MainWindowTest {};

TEST_F(MainWindowLayoutTest, IsLaidOutAsDefined)
{
    expectLayout(*window);
    expectConventionalFrame(window->handle());

    const LONG_PTR keywords = GetWindowLongPtrW(window->编辑框2.handle(), GWL_STYLE);
    EXPECT_TRUE(keywords & ES_MULTILINE);
    EXPECT_TRUE(keywords & WS_VSCROLL);
    EXPECT_FALSE(keywords & (WS_HSCROLL | ES_AUTOHSCROLL));
    for (HWND edit : {window->编辑框1, window->编辑框2.handle()})
        EXPECT_TRUE(GetWindowLongPtrW(edit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    for (HWND label : {window->标签1, window->标签2})
        EXPECT_TRUE(GetWindowLongPtrW(label, GWL_STYLE) & SS_NOPREFIX);

    HWND list = window->超级列表框1;
    EXPECT_EQ(GetWindowLongPtrW(list, GWL_STYLE) & (LVS_TYPEMASK | LVS_SINGLESEL | LVS_SHOWSELALWAYS),
              LVS_REPORT | LVS_SINGLESEL);
    const auto extended = static_cast<DWORD>(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_EQ(extended & (LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_CHECKBOXES),
              static_cast<DWORD>(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES));
}

class WindowKeysTest : public test::MainWindowTest {};

TEST_F(WindowKeysTest, TabAndShiftTabFollowTheTabOrderAndWrap)
{
    EXPECT_EQ(GetFocus(), window->编辑框1);
    const HWND order[] = {window->编辑框1, window->按钮1, window->超级列表框1, window->编辑框2.handle(), window->按钮3};
    for (std::size_t step = 1; step <= std::size(order); ++step) {
        pressKey(GetFocus(), VK_TAB);
        EXPECT_EQ(GetFocus(), order[step % std::size(order)]) << "Tab " << step;
    }
    const test::ShiftHeld shift;
    for (std::size_t step = 1; step <= std::size(order); ++step) {
        pressKey(GetFocus(), VK_TAB);
        EXPECT_EQ(GetFocus(), order[(std::size(order) * 2 - step) % std::size(order)]) << "Shift+Tab " << step;
    }
}

TEST_F(WindowKeysTest, EnterIsALineBreakOnlyInTheKeywordBoxAndTabIsNoCharacter)
{
    HWND keywords = window->编辑框2.handle();
    SetFocus(keywords);
    pressKey(keywords, VK_RETURN);
    EXPECT_EQ(windowText(keywords), L"\r\n");
    EXPECT_EQ(GetFocus(), keywords);
    pressKey(keywords, VK_TAB);
    EXPECT_EQ(windowText(keywords), L"\r\n");
    EXPECT_EQ(GetFocus(), window->按钮3);

    SetFocus(window->编辑框1);
    pressKey(window->编辑框1, VK_RETURN);
    EXPECT_EQ(windowText(window->编辑框1), L"");
    EXPECT_EQ(GetFocus(), window->编辑框1);
    EXPECT_NE(window->handle(), nullptr);
}

TEST_F(WindowKeysTest, EscapeClosesTheWindowFromTheKeywordBox)
{
    HWND keywords = window->编辑框2.handle();
    SetFocus(keywords);
    pressKey(keywords, VK_ESCAPE);
    EXPECT_EQ(window->handle(), nullptr);
    EXPECT_FALSE(IsWindow(keywords));
    EXPECT_EQ(openWindowCount(), 0);
}

// A window that counts the messages dispatched to it.
class CountingWindow {
public:
    CountingWindow()
    {
        m_window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingWindow::procedure)));
    }
    ~CountingWindow() { DestroyWindow(m_window); }
    CountingWindow(const CountingWindow &) = delete;
    CountingWindow &operator=(const CountingWindow &) = delete;

    void post() { PostMessageW(m_window, WM_APP, 0, 0); }
    int count() const { return m_count; }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto *self = reinterpret_cast<CountingWindow *>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_APP) {
            ++self->m_count;
            return 0;
        }
        return CallWindowProcW(self->m_previous, window, message, wParam, lParam);
    }

    HWND m_window = nullptr;
    WNDPROC m_previous = nullptr;
    int m_count = 0;
};

// The quit request waiting, with its exit code, and nothing after it.
void expectQuitWaiting(WPARAM code)
{
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, code);
}

TEST(ProcessEvents, DispatchesWhatIsWaitingAndLeavesTheQuitRequestQueued)
{
    drainMessages();
    CountingWindow window;
    window.post();
    window.post();
    PostQuitMessage(7);
    dispatchWaitingMessages();
    EXPECT_EQ(window.count(), 2);
    expectQuitWaiting(7);
}

TEST(ProcessEvents, TheInstalledHookRoutesTheCoresCallsToTheQueue)
{
    drainMessages();
    CountingWindow window;
    installProcessEvents(std::chrono::microseconds(0));
    window.post();
    PostQuitMessage(3);
    // The hook looks at the queue only every few calls.
    for (int call = 0; call < 1000 && window.count() == 0; ++call)
        processEvents();
    setProcessEventsHook({});
    EXPECT_EQ(window.count(), 1);
    expectQuitWaiting(3);
}

} // namespace
} // namespace yunque
