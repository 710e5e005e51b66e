// Update, Submit and the network-mode buttons, observed where they end up:
// in the datagrams the worker sends to the device on loopback.

#include "BitmapButton.h"
#include "Datagram.h"
#include "MacCodec.h"
#include "TransparentLabel.h"
#include "UiTestSupport.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>
#include <map>

namespace tavolix::test {
namespace {

std::map<uint8_t, std::vector<uint8_t>> recordsOf(const std::vector<uint8_t>& datagram)
{
    std::map<uint8_t, std::vector<uint8_t>> records;
    RecordReader reader(datagram);
    while (const std::optional<ReceivedRecord> record = reader.next()) {
        if (record->tag != 0)
            records[record->tag].assign(record->value.begin(), record->value.end());
    }
    return records;
}

bool isSearch(const std::optional<std::vector<uint8_t>>& datagram)
{
    const RequestBuffer search = searchRequest();
    return datagram && std::equal(datagram->begin(), datagram->end(), search.begin(), search.end());
}

FakeDevice staticCamera()
{
    FakeDevice device;
    device.kind = 0;
    device.name = "camera";
    device.mac = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    return device;
}

TEST(Commands, UpdateSearchesAgainAndTheResetEmptiesTheDisplay)
{
    DialogHarness harness;
    ASSERT_TRUE(harness.waitForStartUp());
    const DialogControls& c = harness.controls();
    FakeDevice device = staticCamera();
    device.kind = 3; // disables Submit and the mode buttons, which the reset leaves so
    ASSERT_TRUE(harness.deliver(device));
    ASSERT_TRUE(harness.clickRowNamed("camera"));
    ASSERT_FALSE(c.nameEdit->text().isEmpty());

    QTest::mouseClick(c.updateButton, Qt::LeftButton);
    EXPECT_EQ(c.deviceList->count(), 0); // emptied at once, before the worker's reset
    EXPECT_TRUE(isSearch(harness.device().nextDatagram()));
    ASSERT_TRUE(waitUntil([&] { return c.macGroup->title() == QStringLiteral("ffffffffffff"); }));

    for (QLineEdit* edit :
         {c.nameEdit, c.macEdit, c.ipAddressEdit, c.subnetMaskEdit, c.gatewayEdit, c.httpPortEdit,
          c.pppoeAccountEdit, c.pppoePasswordEdit, c.loginAccountEdit, c.loginPasswordEdit}) {
        EXPECT_TRUE(edit->text().isEmpty());
        EXPECT_FALSE(edit->isEnabled());
    }
    EXPECT_TRUE(c.deviceInfoText->text().isEmpty());
    EXPECT_FALSE(c.pppoeRadio->isChecked() || c.dhcpRadio->isChecked() ||
                 c.staticRadio->isChecked());
    EXPECT_EQ(harness.dialog().workerControl().table.usedSlotCount(), 0);
    EXPECT_EQ(c.statusText->text(), QStringLiteral("OK"));
    EXPECT_FALSE(c.submitButton->isEnabled());
    EXPECT_FALSE(c.staticRadio->isEnabled());

    // The next replies fill the list again.
    ASSERT_TRUE(harness.deliver(device));
    EXPECT_EQ(c.deviceList->count(), 1);
}

TEST(Commands, ModeButtonsOpenTheirFieldsAndClearTheOthers)
{
    DialogHarness harness;
    ASSERT_TRUE(harness.waitForStartUp());
    const DialogControls& c = harness.controls();
    ASSERT_TRUE(harness.deliver(staticCamera()));
    ASSERT_TRUE(harness.clickRowNamed("camera"));

    struct Step
    {
        QRadioButton* clicked;
        bool address;
        bool pppoe;
    };
    // Each button twice: a second click on a button that is on changes nothing.
    const Step steps[] = {
        {c.pppoeRadio, false, true}, {c.pppoeRadio, false, true},  {c.dhcpRadio, false, false},
        {c.dhcpRadio, false, false}, {c.staticRadio, true, false}, {c.staticRadio, true, false},
        {c.pppoeRadio, false, true},
    };
    for (const Step& step : steps) {
        QTest::mouseClick(step.clicked, Qt::LeftButton, {}, step.clicked->rect().center());
        for (QRadioButton* radio : {c.pppoeRadio, c.dhcpRadio, c.staticRadio})
            EXPECT_EQ(radio->isChecked(), radio == step.clicked);
        for (QLineEdit* edit : {c.ipAddressEdit, c.subnetMaskEdit, c.gatewayEdit})
            EXPECT_EQ(edit->isEnabled(), step.address);
        EXPECT_EQ(c.pppoeAccountEdit->isEnabled(), step.pppoe);
        EXPECT_EQ(c.pppoePasswordEdit->isEnabled(), step.pppoe);
        EXPECT_EQ(c.ipAddressEdit->text(), QStringLiteral("192.168.1.10"));
    }
}

TEST(Commands, SubmitSendsTheEditedSettingsOfTheSelectedDevice)
{
    DialogHarness harness;
    ASSERT_TRUE(harness.waitForStartUp());
    const DialogControls& c = harness.controls();
    FakeDevice device = staticCamera();
    device.kind = 1;
    ASSERT_TRUE(harness.deliver(device));
    ASSERT_TRUE(harness.clickRowNamed("camera"));

    QTest::keyClicks(c.loginAccountEdit, QStringLiteral("admin"));
    QTest::keyClicks(c.loginPasswordEdit, QStringLiteral("secret"));
    c.nameEdit->selectAll();
    QTest::keyClicks(c.nameEdit, QStringLiteral("porch"));
    QTest::mouseClick(c.dhcpRadio, Qt::LeftButton, {}, c.dhcpRadio->rect().center());
    QTest::mouseClick(c.submitButton, Qt::LeftButton);

    const std::optional<std::vector<uint8_t>> sent = harness.device().nextDatagram();
    ASSERT_TRUE(sent.has_value());
    ASSERT_TRUE(hasMagic(*sent));
    auto records = recordsOf(*sent);
    EXPECT_TRUE(records.contains(0x32)); // credentials
    EXPECT_EQ(records[0x10], std::vector<uint8_t>(device.mac.begin(), device.mac.end()));
    ASSERT_EQ(records[0x20].size(), 31u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(records[0x20].data())), "porch");
    EXPECT_EQ(records[0x1f], (std::vector<uint8_t>{0xFF, 0xFF, 0x01, 0xFF}));
    EXPECT_FALSE(records.contains(0x11)); // the IP address was not changed

    // After the send the display is reset as after a search.
    EXPECT_TRUE(
        waitUntil([&] { return c.deviceList->count() == 0 && c.nameEdit->text().isEmpty(); }));
}

} // namespace
} // namespace tavolix::test
