#pragma once

// Which controls take their text from which column of a language's interface
// row. Columns missing here (0, 1, 4, 16 and on) feed nothing.

#include "LanguageSwitch.h"

#include <array>
#include <cstddef>
#include <initializer_list>
#include <span>

namespace tavolix {

class InterfaceColumn final
{
public:
    static constexpr std::size_t maxControls = 2;

    // Controls are set in the order given.
    constexpr InterfaceColumn(int column, std::initializer_list<int> controlIds) : m_column(column)
    {
        for (int id : controlIds)
            m_controls.at(m_count++) = id; // more than maxControls does not compile
    }

    constexpr int column() const { return m_column; }
    constexpr std::span<const int> controls() const { return {m_controls.data(), m_count}; }

private:
    int m_column;
    std::array<int, maxControls> m_controls{};
    std::size_t m_count = 0;
};

inline constexpr std::array interfaceColumns{
    InterfaceColumn{2, {1019, 1038}},          // Account: PPPoE and login labels
    InterfaceColumn{3, {1020, 1039}},          // Password: PPPoE and login labels
    InterfaceColumn{5, {1022}},                // "Address:"
    InterfaceColumn{6, {1023}},                // Name
    InterfaceColumn{7, {1024}},                // IP
    InterfaceColumn{8, {1025}},                // Submask
    InterfaceColumn{9, {1026}},                // Gateway
    InterfaceColumn{10, {1027}},               // Http Port
    InterfaceColumn{11, {1012}},               // Submit button
    InterfaceColumn{12, {1028}},               // "Status:"
    InterfaceColumn{13, {windowTitleControl}}, // the window's title
    InterfaceColumn{14, {1001}},               // Update button
    InterfaceColumn{15, {1002}},               // Exit button
};

// The controls fed by a column, empty for a column that feeds nothing.
constexpr std::span<const int> controlsForColumn(int column)
{
    for (const InterfaceColumn& entry : interfaceColumns) {
        if (entry.column() == column)
            return entry.controls();
    }
    return {};
}

} // namespace tavolix
