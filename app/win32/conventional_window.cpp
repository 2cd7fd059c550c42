#include "app/win32/conventional_window.h"

#include "app/win32/controls.h"
#include "app/win32/fatal_error.h"
#include "app/win32/message_loop.h"
#include "app/win32/resource_ids.h"
#include "app/win32/wide_text.h"

#include <algorithm>
#include <new>
#include <string>

namespace yunque {
namespace {

constexpr wchar_t windowClassName[] = L"YunqueWindow";
// Posted by destroyWindow(): the destruction waits for the running handler.
constexpr UINT destroyRequest = WM_APP + 1;

// The program's open windows: it owns them from creation to destruction.
std::vector<std::shared_ptr<ConventionalWindow>> &openWindows()
{
    static std::vector<std::shared_ptr<ConventionalWindow>> windows;
    return windows;
}

bool endWithLastWindow = false;

ATOM windowClass(WNDPROC procedure)
{
    static const ATOM atom = [procedure] {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        windowClass.lpszClassName = windowClassName;
        // Large and small from the same multi-size icon; a program without
        // the resource (a test) gets the system's.
        windowClass.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(YUNQUE_ICON), IMAGE_ICON,
                                                          GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
        windowClass.hIconSm =
            static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(YUNQUE_ICON), IMAGE_ICON,
                                          GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
        return RegisterClassExW(&windowClass);
    }();
    return atom;
}

} // namespace

int scaledLength(int length, int dpi)
{
    return MulDiv(length, dpi, 96);
}

int systemDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

POINT centredPosition(SIZE screen, SIZE outer)
{
    // Integer division truncates, which drops the fraction of a negative
    // half too, as it does for a positive one.
    return {(screen.cx - outer.cx) / 2, (screen.cy - outer.cy) / 2};
}

ConventionalWindow::ConventionalWindow(const WindowDefinition &definition)
    : m_definition(definition)
    , m_controls(definition.controls.size(), nullptr)
{
}

ConventionalWindow::~ConventionalWindow()
{
    // Only reached once the native window is gone or was never made, since
    // every message it handles holds this object; a test may still drop a
    // window it never destroyed.
    if (m_handle) {
        SetWindowLongPtrW(m_handle, GWLP_USERDATA, 0);
        DestroyWindow(m_handle);
    }
}

HWND ConventionalWindow::control(std::u16string_view name) const
{
    for (std::size_t index = 0; index < m_definition.controls.size(); ++index)
        if (m_definition.controls[index].name == name)
            return m_controls[index];
    return nullptr;
}

ConventionalWindow *ConventionalWindow::owning(HWND window)
{
    HWND root = window ? GetAncestor(window, GA_ROOT) : nullptr;
    if (!root || static_cast<ATOM>(GetClassLongPtrW(root, GCW_ATOM)) != windowClass(windowProcedure))
        return nullptr;
    return reinterpret_cast<ConventionalWindow *>(GetWindowLongPtrW(root, GWLP_USERDATA));
}

bool ConventionalWindow::create(HWND owner)
{
    m_dpi = systemDpi();
    const SIZE outer{scaledLength(m_definition.outerSize.width, m_dpi),
                     scaledLength(m_definition.outerSize.height, m_dpi)};
    const POINT corner = centredPosition({GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, outer);
    // WS_CAPTION without WS_THICKFRAME is the fixed dialog frame; the window
    // rectangle is the outer size itself.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    const std::wstring title = wideText(m_definition.title);
    HWND handle = CreateWindowExW(0, MAKEINTATOM(windowClass(windowProcedure)), title.c_str(), style, corner.x,
                                  corner.y, outer.cx, outer.cy, owner, nullptr, GetModuleHandleW(nullptr), this);
    if (!handle)
        return false;
    openWindows().push_back(shared_from_this());
    createControls();
    controlsCreated();
    return true;
}

void ConventionalWindow::createControls()
{
    const auto font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageW(m_handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (std::size_t index = 0; index < m_definition.controls.size(); ++index)
        m_controls[index] =
            createControl(m_handle, m_definition.controls[index], static_cast<int>(index) + 1, m_dpi, font);
}

void ConventionalWindow::moveFocus(bool forward)
{
    if (!isOpen())
        return;
    std::vector<HWND> order;
    for (std::u16string_view name : m_definition.tabOrder)
        if (HWND control = this->control(name))
            order.push_back(control);
    if (order.empty())
        return;
    const HWND focus = GetFocus();
    const auto current = std::find_if(order.begin(), order.end(), [focus](HWND control) {
        return focus && (control == focus || IsChild(control, focus));
    });
    const std::size_t count = order.size();
    // Without a focused control in the order, Tab starts at the first one
    // and Shift+Tab at the last.
    std::size_t index =
        current == order.end() ? (forward ? count - 1 : 0) : static_cast<std::size_t>(current - order.begin());
    for (std::size_t step = 0; step < count; ++step) {
        index = forward ? (index + 1) % count : (index + count - 1) % count;
        HWND candidate = order[index];
        if (IsWindowVisible(candidate) && IsWindowEnabled(candidate)) {
            SetFocus(candidate);
            // As in a dialog: a one-line box reached by Tab has its text
            // selected, so typing replaces it.
            if (isSingleLineEdit(candidate))
                SendMessageW(candidate, EM_SETSEL, 0, -1);
            return;
        }
    }
}

void ConventionalWindow::restoreFocus()
{
    HWND target = m_lastFocus && IsWindow(m_lastFocus) && IsChild(m_handle, m_lastFocus)
                      ? m_lastFocus
                      : control(m_definition.firstFocus);
    if (target && IsWindowVisible(target) && IsWindowEnabled(target))
        SetFocus(target);
}

LRESULT ConventionalWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(m_handle, focus))
                m_lastFocus = focus;
        } else if (!HIWORD(wParam)) {
            restoreFocus();
        }
        return 0;
    case WM_SETFOCUS:
        restoreFocus();
        return 0;
    case WM_COMMAND:
        if (lParam && isOpen())
            command(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
        return 0;
    case WM_CTLCOLORSTATIC: {
        // Labels: black text on the button face.
        const auto context = reinterpret_cast<HDC>(wParam);
        SetTextColor(context, RGB(0, 0, 0));
        SetBkColor(context, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_CLOSE:
        // Nothing can refuse: the window goes at once.
        m_closing = true;
        DestroyWindow(m_handle);
        return 0;
    case destroyRequest:
        m_closing = true;
        DestroyWindow(m_handle);
        return 0;
    case WM_DESTROY:
        m_closing = true;
        return 0;
    case WM_NCDESTROY: {
        HWND handle = m_handle;
        m_handle = nullptr;
        SetWindowLongPtrW(handle, GWLP_USERDATA, 0);
        std::vector<std::shared_ptr<ConventionalWindow>> &windows = openWindows();
        const auto self =
            std::find_if(windows.begin(), windows.end(), [this](const auto &w) { return w.get() == this; });
        if (self != windows.end())
            windows.erase(self);
        if (windows.empty() && endWithLastWindow)
            PostQuitMessage(0);
        return DefWindowProcW(handle, message, wParam, lParam);
    }
    default:
        break;
    }
    return DefWindowProcW(m_handle, message, wParam, lParam);
}

LRESULT CALLBACK ConventionalWindow::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto *created = static_cast<ConventionalWindow *>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams);
        created->m_handle = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto *object = reinterpret_cast<ConventionalWindow *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    // Once the fatal error report is up, no handler of the program runs.
    if (!object || fatalErrorShown()) {
        if (message == WM_CLOSE)
            return 0;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    // Held for the whole message: a nested loop inside a handler may destroy
    // the window, and the handler still returns into this object.
    const std::shared_ptr<ConventionalWindow> keep = object->weak_from_this().lock();
    try {
        return object->handleMessage(message, wParam, lParam);
    } catch (const std::bad_alloc &) {
        fatalErrorReport();
    }
}

void loadWindow(const std::shared_ptr<ConventionalWindow> &window, bool modal)
{
    // A modal window's owner: hidden and never shown, it keeps the window
    // off the taskbar, as owned windows have no button there.
    HWND owner = modal ? CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                         GetModuleHandleW(nullptr), nullptr)
                       : nullptr;
    std::vector<std::weak_ptr<ConventionalWindow>> disabled;
    if (modal) {
        for (const std::shared_ptr<ConventionalWindow> &open : openWindows())
            if (open->handle() && IsWindowEnabled(open->handle())) {
                EnableWindow(open->handle(), FALSE);
                disabled.push_back(open);
            }
    }

    if (window->create(owner)) {
        window->created();
        if (window->handle()) {
            ShowWindow(window->handle(), SW_SHOW);
            UpdateWindow(window->handle());
        }
        if (modal)
            runModalLoop([&window] { return window->handle() != nullptr; });
    }

    for (const std::weak_ptr<ConventionalWindow> &weak : disabled)
        if (const std::shared_ptr<ConventionalWindow> open = weak.lock(); open && open->handle())
            EnableWindow(open->handle(), TRUE);
    if (owner)
        DestroyWindow(owner);
}

void destroyWindow(ConventionalWindow &window)
{
    if (window.handle())
        PostMessageW(window.handle(), destroyRequest, 0, 0);
}

int openWindowCount()
{
    return static_cast<int>(openWindows().size());
}

void endProgramWithLastWindow()
{
    endWithLastWindow = true;
}

} // namespace yunque
