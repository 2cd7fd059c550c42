#pragma once

#include "common/gbk_text.h"

#include <cstdint>

namespace yunque {

// What the export needs of a report-style list view. Items and columns are
// numbered from 0; texts come as fresh code page 936 copies.
class ListView {
public:
    virtual ~ListView() = default;

    // False once the view (or the window that holds it) is gone or closing;
    // no other member may be called then.
    virtual bool available() const = 0;

    virtual std::int32_t itemCount() const = 0;
    // Columns of the header, zero-width ones included; 0 without a header.
    virtual std::int32_t columnCount() const = 0;
    virtual GbkText columnTitle(std::int32_t column) const = 0;
    // Column 0 is the item's own text, column k its k-th sub-item.
    virtual GbkText cellText(std::int32_t item, std::int32_t column) const = 0;
};

} // namespace yunque
