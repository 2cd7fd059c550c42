// Writes the worksheet that an export of the main window's (empty) results
// list gives, to the path given, for a check by an independent reader.
#include "common/file_system.h"
#include "export/export_grid.h"
#include "export/list_view.h"
#include "export/save_dialog.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

class HeaderOnlyList final : public yunque::ListView {
public:
    bool available() const override { return true; }
    std::int32_t itemCount() const override { return 0; }
    std::int32_t columnCount() const override { return static_cast<std::int32_t>(m_titles.size()); }
    yunque::GbkText columnTitle(std::int32_t column) const override
    {
        return m_titles.at(static_cast<std::size_t>(column));
    }
    yunque::GbkText cellText(std::int32_t, std::int32_t) const override { return {}; }

private:
    // 序号, 昵称, 账号, uid, 评论内容 in code page 936.
    std::vector<yunque::GbkText> m_titles = {"\xD0\xF2\xBA\xC5", "\xEA\xC7\xB3\xC6", "\xD5\xCB\xBA\xC5", "uid",
                                             "\xC6\xC0\xC2\xDB\xC4\xDA\xC8\xDD"};
};

class AcceptingDialog final : public yunque::SaveDialog {
public:
    explicit AcceptingDialog(std::filesystem::path path)
        : m_path(std::move(path))
    {
    }

    bool available() const override { return true; }
    void setSaveMode() override {}
    void setFilter(std::span<const yunque::FileFilterDefinition>) override {}
    void setInitialFolder(const std::filesystem::path &) override {}
    void setDefaultExtension(std::u16string_view) override {}
    bool show() override { return true; }
    std::filesystem::path fileName() const override { return m_path; }

private:
    std::filesystem::path m_path;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    HeaderOnlyList list;
    AcceptingDialog dialog(argv[1]);
    const yunque::ExportOutcome outcome = yunque::exportGrid(list, dialog);
    if (outcome.result != yunque::ExportOutcome::Result::Saved) {
        std::fprintf(stderr, "cannot write %s: %s\n", yunque::utf8FromPath(outcome.path).c_str(),
                     outcome.reason.c_str());
        return 1;
    }
    return 0;
}
