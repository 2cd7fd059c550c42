#pragma once

#include "app/win32/conventional_window.h"
#include "common/run_directory.h"

#include <filesystem>

namespace yunque {

// The statement shown at start: the software is for testing only. Its button
// opens the main window, which keeps its keyword file in keywordFolder;
// closing it any other way ends the program.
class DisclaimerWindow final : public ConventionalWindow {
public:
    explicit DisclaimerWindow(std::filesystem::path keywordFolder = runDirectory());

    const std::filesystem::path &keywordFolder() const { return m_keywordFolder; }

    HWND 按钮1 = nullptr;
    HWND 标签1 = nullptr;

protected:
    void controlsCreated() override;
    void command(HWND control, WORD code) override;

private:
    std::filesystem::path m_keywordFolder;
};

// The click handler of the statement's button: opens the main window
// modeless, then queues the statement window's destruction.
void acceptDisclaimer(DisclaimerWindow &disclaimer);

} // namespace yunque
