#include "Datagram.h"
#include "ReplyParser.h"
#include "WorkerControl.h"
#include "WorkerUi.h"

#include <cstdlib>
#include <vector>

namespace {

// What the parser hands the window: a slot in range and a row that starts with it, its name
// no longer than the tag allows ("255 " and the name).
class CheckingUi final : public tavolix::ListRowSink
{
public:
    void addListRow(int slotNumber, std::string_view rowText) override
    {
        if (slotNumber < 1 || slotNumber > 255 ||
            rowText.size() > 4 + tavolix::valueSize(tavolix::Tag::Name) ||
            tavolix::leadingNumber(rowText) != slotNumber)
            std::abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > tavolix::replyCapacity)
        return 0;
    // An exact-size heap copy: a read past the received bytes is caught.
    const std::vector<uint8_t> received(data, data + size);
    static tavolix::WorkerControl control;
    static CheckingUi ui;
    tavolix::parseReply(control, received, ui);
    if (control.table.usedSlotCount() == tavolix::DeviceTable::slotCount)
        control.table.clear();
    return 0;
}
