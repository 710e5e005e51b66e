#pragma once

#include "WorkerUi.h"

#include <map>
#include <string>
#include <vector>

namespace tavolix::test {

// A window stand-in for single-threaded tests: fields hold whatever the test
// typed; the boxes and list rows the worker shows are recorded.
class ScriptedWorkerUi final : public WorkerUi
{
public:
    std::map<WorkerField, std::string> fields;
    bool loginVisible = true;
    bool macVisible = false;
    bool pppoeChecked = false;
    bool dhcpChecked = false;

    std::vector<std::string> messages;
    std::vector<std::string> rows;

    void setStatusText(std::string_view) override {}
    std::string fieldText(WorkerField field) override { return fields[field]; }
    bool isFieldVisible(WorkerField field) override
    {
        return field == WorkerField::Mac ? macVisible : loginVisible;
    }
    bool isChoiceChecked(WorkerChoice choice) override
    {
        return choice == WorkerChoice::Pppoe ? pppoeChecked : dhcpChecked;
    }
    void showMessageBox(std::string_view caption, std::string_view text) override
    {
        messages.push_back(std::string(caption) + ": " + std::string(text));
    }
    void resetDisplay() override {}
    void addListRow(int, std::string_view rowText) override { rows.emplace_back(rowText); }
};

} // namespace tavolix::test
