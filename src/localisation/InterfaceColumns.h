#pragma once

// Which controls take their text from which column of a language's interface
// row. Columns missing here (0, 1, 4, 16 and on) feed nothing.

#include "ControlId.h"

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
    constexpr InterfaceColumn(int column, std::initializer_list<ControlId> controlIds)
        : m_column(column)
    {
        for (ControlId id : controlIds)
            m_controls.at(m_count++) = id; // more than maxControls does not compile
    }

    constexpr int column() const { return m_column; }
    constexpr std::span<const ControlId> controls() const { return {m_controls.data(), m_count}; }

private:
    int m_column;
    std::array<ControlId, maxControls> m_controls{};
    std::size_t m_count = 0;
};

inline constexpr std::array interfaceColumns{
    InterfaceColumn{2, {ControlId::PppoeAccountLabel, ControlId::LoginAccountLabel}},
    InterfaceColumn{3, {ControlId::PppoePasswordLabel, ControlId::LoginPasswordLabel}},
    InterfaceColumn{5, {ControlId::AddressLabel}},
    InterfaceColumn{6, {ControlId::NameLabel}},
    InterfaceColumn{7, {ControlId::IpAddressLabel}},
    InterfaceColumn{8, {ControlId::SubnetMaskLabel}},
    InterfaceColumn{9, {ControlId::GatewayLabel}},
    InterfaceColumn{10, {ControlId::HttpPortLabel}},
    InterfaceColumn{11, {ControlId::SubmitButton}},
    InterfaceColumn{12, {ControlId::StatusLabel}},
    InterfaceColumn{13, {ControlId::WindowTitle}},
    InterfaceColumn{14, {ControlId::UpdateButton}},
    InterfaceColumn{15, {ControlId::ExitButton}},
};

// The controls fed by a column, empty for a column that feeds nothing.
constexpr std::span<const ControlId> controlsForColumn(int column)
{
    for (const InterfaceColumn& entry : interfaceColumns) {
        if (entry.column() == column)
            return entry.controls();
    }
    return {};
}

} // namespace tavolix
