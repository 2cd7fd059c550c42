#include "common/window_definitions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace yunque {
namespace {

const WindowDefinition *const windows[] = {&disclaimerWindowDefinition, &mainWindowDefinition};

// For failure messages.
std::string utf8(std::u16string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size())
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::vector<const ControlDefinition *> visibleControls(const WindowDefinition &window)
{
    std::vector<const ControlDefinition *> visible;
    for (const ControlDefinition &control : window.controls)
        if (control.visible())
            visible.push_back(&control);
    return visible;
}

// The client area is the outer size less a frame of unknown width, so a
// control that reaches past the outer size lies outside it for certain.
TEST(WindowDefinition, VisibleControlsLieWithinTheOuterSize)
{
    for (const WindowDefinition *window : windows) {
        SCOPED_TRACE(utf8(window->title));
        for (const ControlDefinition *control : visibleControls(*window)) {
            const ControlGeometry &g = control->geometry;
            EXPECT_TRUE(g.left >= 0 && g.top >= 0 && g.width > 0 && g.height > 0) << utf8(control->name);
            EXPECT_LE(g.left + g.width, window->outerSize.width) << utf8(control->name);
            EXPECT_LE(g.top + g.height, window->outerSize.height) << utf8(control->name);
        }
    }
}

TEST(WindowDefinition, NoTwoVisibleControlsOverlap)
{
    for (const WindowDefinition *window : windows) {
        SCOPED_TRACE(utf8(window->title));
        const auto visible = visibleControls(*window);
        for (std::size_t i = 0; i < visible.size(); ++i)
            for (std::size_t j = i + 1; j < visible.size(); ++j) {
                const ControlGeometry &a = visible[i]->geometry;
                const ControlGeometry &b = visible[j]->geometry;
                const bool apart = a.left + a.width <= b.left || b.left + b.width <= a.left || a.top + a.height <= b.top
                                   || b.top + b.height <= a.top;
                EXPECT_TRUE(apart) << utf8(visible[i]->name) << " and " << utf8(visible[j]->name);
            }
    }
}

// A design name is its kind's word and a number unique within the window;
// the settings of a kind apply to that kind alone, and a label is never
// reached by Tab.
TEST(WindowDefinition, NameKindAndStyleOfEveryControlAgree)
{
    const struct {
        ControlKind kind;
        std::u16string_view word;
        std::vector<ControlStyle> styles;
    } kinds[] = {
        {ControlKind::Label, u"标签", {ControlStyle::OneLineLabel, ControlStyle::WrappedLabel}},
        {ControlKind::PushButton, u"按钮", {ControlStyle::Plain}},
        {ControlKind::EditBox, u"编辑框", {ControlStyle::SingleLineEdit, ControlStyle::MultiLineEdit}},
        {ControlKind::ListView, u"超级列表框", {ControlStyle::Plain}},
        {ControlKind::FileDialog, u"通用对话框", {ControlStyle::Plain}},
    };
    for (const WindowDefinition *window : windows) {
        SCOPED_TRACE(utf8(window->title));
        std::set<std::u16string_view> names;
        for (const ControlDefinition &control : window->controls) {
            const std::string name = utf8(control.name);
            EXPECT_TRUE(names.insert(control.name).second) << name << " twice";
            const auto kind =
                std::find_if(std::begin(kinds), std::end(kinds), [&](const auto &k) { return k.kind == control.kind; });
            ASSERT_NE(kind, std::end(kinds)) << name;
            ASSERT_TRUE(control.name.starts_with(kind->word)) << name;
            const std::u16string_view number = control.name.substr(kind->word.size());
            EXPECT_TRUE(!number.empty() && number.front() != u'0'
                        && std::all_of(number.begin(), number.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; }))
                << name;
            EXPECT_TRUE(std::find(kind->styles.begin(), kind->styles.end(), control.style) != kind->styles.end())
                << name << " has a style of another kind";
            if (control.kind == ControlKind::Label || control.kind == ControlKind::FileDialog) {
                EXPECT_FALSE(control.tabStop()) << name;
            }
        }
    }
}

TEST(WindowDefinition, TabOrderHoldsEveryTabStopOnceAndStartsAtTheFirstFocus)
{
    for (const WindowDefinition *window : windows) {
        SCOPED_TRACE(utf8(window->title));
        std::set<std::u16string_view> ordered;
        for (std::u16string_view name : window->tabOrder) {
            EXPECT_TRUE(ordered.insert(name).second) << utf8(name) << " twice";
            const ControlDefinition *control = findControl(*window, name);
            ASSERT_NE(control, nullptr) << utf8(name);
            EXPECT_TRUE(control->visible() && control->enabled() && control->tabStop()) << utf8(name);
        }
        for (const ControlDefinition &control : window->controls) {
            if (control.tabStop()) {
                EXPECT_TRUE(ordered.contains(control.name)) << utf8(control.name) << " is not in the tab order";
            }
        }

        const auto focused = std::count_if(window->controls.begin(), window->controls.end(),
                                           [&](const ControlDefinition &c) { return c.name == window->firstFocus; });
        EXPECT_EQ(focused, 1) << utf8(window->firstFocus);
        ASSERT_FALSE(window->tabOrder.empty());
        EXPECT_EQ(window->tabOrder.front(), window->firstFocus);
    }
}

// The Windows shell passes texts on as NUL-terminated wide strings.
TEST(WindowDefinition, EveryTextEndsAtItsTerminator)
{
    std::vector<std::u16string_view> texts{
        exportFileFilter.description, exportFileFilter.pattern,  exportDefaultExtension,   fatalErrorMessage.title,
        fatalErrorMessage.text,       writeFailureMessage.title, writeFailureMessage.text,
    };
    for (const WindowDefinition *window : windows) {
        texts.push_back(window->title);
        texts.push_back(window->firstFocus);
        texts.insert(texts.end(), window->tabOrder.begin(), window->tabOrder.end());
        for (const ControlDefinition &control : window->controls) {
            texts.push_back(control.name);
            texts.push_back(control.text);
        }
    }
    for (const ListColumnDefinition &column : resultListColumns)
        texts.push_back(column.title);
    for (std::u16string_view text : texts) {
        ASSERT_NE(text.data(), nullptr);
        EXPECT_EQ(text.find(u'\0'), std::u16string_view::npos) << utf8(text);
        EXPECT_EQ(text.data()[text.size()], u'\0') << utf8(text);
    }
}

// A name typed without an extension gets the one the listing shows, and the
// description names the pattern it stands for.
TEST(WindowDefinition, SaveDialogFilterAndExtensionAgree)
{
    EXPECT_EQ(exportFileFilter.pattern, u"*." + std::u16string(exportDefaultExtension));
    EXPECT_TRUE(exportFileFilter.description.ends_with(u"（" + std::u16string(exportFileFilter.pattern) + u"）"));
}

} // namespace
} // namespace yunque
