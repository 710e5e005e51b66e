// The device list: rows from the worker, their order, the slot a row names,
// and the web page a double click opens.

#include "ReplyParser.h"
#include "UiTestSupport.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace tavolix::test {
namespace {

QStringList rowTexts(const QListWidget* list)
{
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts.append(list->item(row)->text());
    return texts;
}

TEST(DeviceList, RowsSortAsTextAndTheLeadingNumberNamesTheSlot)
{
    DialogHarness harness;
    ASSERT_TRUE(harness.waitForStartUp());
    SearchDialog& dialog = harness.dialog();
    DeviceTable& table = dialog.workerControl().table;

    // New devices fill the table from slot 255 down; 254 of them reach slot 2.
    for (int slot = 255; slot >= 2; --slot) {
        DeviceRecord device;
        setFieldText(device.name, "dev-" + std::to_string(slot));
        device.mac = {0x02, 0, 0, 0, 0, static_cast<uint8_t>(slot)};
        ASSERT_EQ(table.store(device), slot);
    }
    runOffWindowThread([&] {
        dialog.addListRow(2, "2 dev-2");
        dialog.addListRow(12, "12 dev-12");
        dialog.addListRow(10, "10 dev-10");
        dialog.addListRow(10, "10 renamed"); // the slot has its row already
        dialog.addListRow(1, "1 ghost");     // slot 1 holds no device
    });
    EXPECT_EQ(rowTexts(harness.controls().deviceList),
              (QStringList{QStringLiteral("10 dev-10"), QStringLiteral("12 dev-12"),
                           QStringLiteral("2 dev-2")}));

    ASSERT_TRUE(harness.clickRowNamed("dev-12"));
    EXPECT_EQ(harness.controls().nameEdit->text(), QStringLiteral("dev-12"));
    ASSERT_TRUE(harness.clickRowNamed("dev-2"));
    EXPECT_EQ(harness.controls().nameEdit->text(), QStringLiteral("dev-2"));
}

TEST(DeviceList, ARowThatNamesNoStoredDeviceShowsAndOpensNothing)
{
    DialogHarness harness;
    ASSERT_TRUE(harness.waitForStartUp());
    const DialogControls& c = harness.controls();
    UrlCatcher urls;
    // The list and the table out of step: a row for an empty slot.
    c.deviceList->addItem(QStringLiteral("7 ghost"));

    ASSERT_TRUE(harness.clickRowNamed("ghost"));
    EXPECT_TRUE(c.nameEdit->text().isEmpty());
    EXPECT_EQ(c.macGroup->title(), QStringLiteral("ffffffffffff"));
    EXPECT_EQ(c.loginAccountEdit->maxLength(), 16); // the limit is set all the same
    harness.clickRowNamed("ghost", true);
    QTest::qWait(20);
    EXPECT_TRUE(urls.opened.isEmpty());
}

TEST(DeviceList, DoubleClickOpensTheDevicePage)
{
    DialogHarness harness;
    ASSERT_TRUE(harness.waitForStartUp());
    UrlCatcher urls;
    struct PageCase
    {
        const char* name;
        int port;
        const char* address;
    };
    const PageCase cases[] = {
        {"port-80", 80, "http://192.168.1.10"},
        {"port-8080", 8080, "http://192.168.1.10:8080/"},
        {"no-port", 0, "http://192.168.1.10:0/"},
    };
    uint8_t number = 1;
    for (const PageCase& entry : cases) {
        SCOPED_TRACE(entry.name);
        FakeDevice device;
        device.name = entry.name;
        device.httpPort = entry.port;
        device.mac = {0x02, 0, 0, 0, 0, number++};
        ASSERT_TRUE(harness.deliver(device));
        const qsizetype before = urls.opened.size();
        ASSERT_TRUE(harness.clickRowNamed(entry.name, true));
        ASSERT_TRUE(waitUntil([&] { return urls.opened.size() > before; }));
        EXPECT_EQ(urls.opened.last().toString(QUrl::None), QString::fromUtf8(entry.address));
    }
}

} // namespace
} // namespace tavolix::test
