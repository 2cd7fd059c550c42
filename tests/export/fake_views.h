#pragma once

#include "common/file_system.h"
#include "export/list_view.h"
#include "export/save_dialog.h"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace yunque::test {

// One log of the calls made to the fakes (and to processEvents, when a test
// logs it there too), to check their order.
using CallLog = std::vector<std::string>;

// What both fakes share: whether the control is still there, and the log of
// the calls made to it.
class LoggedFake {
public:
    explicit LoggedFake(CallLog &log)
        : m_log(log)
    {
    }

    bool present = true;
    // Set when a member other than available() ran while the control was gone.
    mutable bool usedWhileGone = false;

protected:
    void touch(const std::string &call) const
    {
        if (!present)
            usedWhileGone = true;
        m_log.push_back(call);
    }

private:
    CallLog &m_log;
};

class FakeListView : public ListView, public LoggedFake {
public:
    FakeListView(CallLog &log, std::vector<GbkText> columnTitles, std::vector<std::vector<GbkText>> itemTexts = {})
        : LoggedFake(log)
        , titles(std::move(columnTitles))
        , items(std::move(itemTexts))
    {
    }

    bool available() const override { return present; }
    std::int32_t itemCount() const override
    {
        touch("itemCount");
        return static_cast<std::int32_t>(items.size());
    }
    std::int32_t columnCount() const override
    {
        touch("columnCount");
        return static_cast<std::int32_t>(titles.size());
    }
    GbkText columnTitle(std::int32_t column) const override
    {
        touch("title " + std::to_string(column));
        return titles.at(static_cast<std::size_t>(column));
    }
    GbkText cellText(std::int32_t item, std::int32_t column) const override
    {
        touch("cell " + std::to_string(item) + "," + std::to_string(column));
        const auto &texts = items.at(static_cast<std::size_t>(item));
        return static_cast<std::size_t>(column) < texts.size() ? texts[static_cast<std::size_t>(column)] : GbkText();
    }

    std::vector<GbkText> titles;
    std::vector<std::vector<GbkText>> items;
};

class FakeSaveDialog : public SaveDialog, public LoggedFake {
public:
    explicit FakeSaveDialog(CallLog &log)
        : LoggedFake(log)
    {
    }

    bool available() const override { return present; }
    void setSaveMode() override { touch("setSaveMode"); }
    void setFilter(std::span<const FileFilterDefinition> value) override
    {
        touch("setFilter");
        filter.clear();
        for (const FileFilterDefinition &pair : value)
            filter.emplace_back(std::u16string(pair.description), std::u16string(pair.pattern));
    }
    void setInitialFolder(const std::filesystem::path &value) override
    {
        touch("setInitialFolder");
        initialFolder = value;
    }
    void setDefaultExtension(std::u16string_view value) override
    {
        touch("setDefaultExtension");
        defaultExtension = value;
    }
    // Each show takes the next answer: a path to accept, or "" to cancel.
    bool show() override
    {
        touch("show");
        ++shows;
        const std::filesystem::path answer = answers.empty() ? std::filesystem::path() : answers.front();
        if (!answers.empty())
            answers.pop_front();
        if (answer.empty())
            return false;
        accepted = answer;
        return true;
    }
    std::filesystem::path fileName() const override
    {
        touch("fileName");
        return accepted;
    }

    std::deque<std::filesystem::path> answers;
    std::filesystem::path accepted;
    // Each pair's description and pattern.
    std::vector<std::pair<std::u16string, std::u16string>> filter;
    std::filesystem::path initialFolder;
    std::u16string defaultExtension;
    int shows = 0;
};

} // namespace yunque::test
