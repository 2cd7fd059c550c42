#pragma once

#include "keywords/keyword_file.h"
#include "keywords/text_box.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <utility>
#include <vector>

namespace yunque::test {

// A text box that behaves like the real one toward the handlers: setText
// replaces the text and raises text-changed once, which saves the keyword
// file, and so does every edit by the user.
class FakeBox : public TextBox {
public:
    // Saves the keyword file in folder.
    explicit FakeBox(std::filesystem::path folder)
        : m_folder(std::move(folder))
    {
    }

    void setText(const GbkText &text) override
    {
        sets.push_back(text);
        m_text = text;
        if (dropsByteFF)
            std::replace(m_text.begin(), m_text.end(), '\xFF', '?');
        changed();
    }
    GbkText text() const override { return m_text; }

    // The user types keys at the end of the text (Enter is "\r\n").
    void type(std::string_view keys)
    {
        m_text += keys;
        changed();
    }
    // The user deletes everything.
    void clear()
    {
        m_text.clear();
        changed();
    }

    // Every text passed to setText.
    std::vector<GbkText> sets;
    // Models a code page that cannot hold the byte 0xFF: it shows as '?'.
    bool dropsByteFF = false;

private:
    void changed() { saveKeywordFile(*this, m_folder); }

    std::filesystem::path m_folder;
    GbkText m_text;
};

} // namespace yunque::test
