// What a selection shows and enables, for each device kind and mode.

#include "BitmapButton.h"
#include "MacCodec.h"
#include "TransparentLabel.h"
#include "UiTestSupport.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace tavolix::test {
namespace {

enum class Radio
{
    Pppoe,
    Dhcp,
    Static
};

struct Enabled
{
    bool nameAndPort;
    bool address; // IP, mask, gateway
    bool macEdit;
    bool pppoeRadio;
    bool dhcpAndStaticRadios;
    bool login;
    bool submit;
};

struct DisplayCase
{
    const char* name;
    int kind;
    std::array<uint8_t, 4> mode;
    const char* modeWord;
    Radio radio;
    Enabled enabled;
};

// kind 1: login open, PPPoE radio closed, address open unless mode byte 2 is on.
// kind 3: nothing open. Other kinds: everything but login; address only in static mode.
// Enabled: name/port, address, MAC edit, PPPoE radio, DHCP/static radios, login, Submit.
// clang-format off
const DisplayCase displayCases[] = {
    {"k1-pppoe",       1, {0x01, 0x01, 0xFF, 0xFF}, "PPPOE",  Radio::Pppoe,  {true, true,  false, false, true,  true,  true}},
    {"k1-dhcp",        1, {0xFF, 0xFF, 0x01, 0x01}, "DHCP",   Radio::Dhcp,   {true, false, false, false, true,  true,  true}},
    {"k1-static",      1, {0xFF, 0xFF, 0xFF, 0xFF}, "STATIC", Radio::Static, {true, true,  false, false, true,  true,  true}},
    {"k1-zeros",       1, {0x00, 0x00, 0x00, 0x00}, "PPPOE",  Radio::Pppoe,  {true, false, false, false, true,  true,  true}},
    {"k0-half-pppoe",  0, {0x01, 0xFF, 0xFF, 0xFF}, "STATIC", Radio::Pppoe,  {true, false, true,  true,  true,  false, true}},
    {"k0-dhcp",        0, {0xFF, 0xFF, 0x01, 0x01}, "DHCP",   Radio::Dhcp,   {true, false, true,  true,  true,  false, true}},
    {"k0-half-dhcp",   0, {0xFF, 0xFF, 0x01, 0xFF}, "STATIC", Radio::Dhcp,   {true, false, true,  true,  true,  false, true}},
    {"k0-static",      0, {0xFF, 0xFF, 0xFF, 0xFF}, "STATIC", Radio::Static, {true, true,  true,  true,  true,  false, true}},
    {"k3-pppoe",       3, {0x01, 0x01, 0xFF, 0xFF}, "PPPOE",  Radio::Pppoe,  {false, false, false, false, false, false, false}},
    {"k3-static",      3, {0xFF, 0xFF, 0xFF, 0xFF}, "STATIC", Radio::Static, {false, false, false, false, false, false, false}},
};
// clang-format on

FakeDevice deviceFor(const DisplayCase& entry, uint8_t number)
{
    FakeDevice device;
    device.kind = entry.kind;
    device.name = entry.name;
    device.version = "V" + std::to_string(number);
    device.mac = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, number};
    device.ip = {10, 0, 0, number};
    device.httpPort = 8000 + number;
    device.networkMode = entry.mode;
    device.pppoeAccount = "dsl-user";
    return device;
}

TEST(DeviceDisplay, SelectionShowsRecordAndEnablesWhatTheKindAndModeAllow)
{
    DialogHarness harness;
    ASSERT_TRUE(harness.waitForStartUp());
    const DialogControls& c = harness.controls();

    uint8_t number = 1;
    for (const DisplayCase& entry : displayCases)
        ASSERT_TRUE(harness.deliver(deviceFor(entry, number++)));

    number = 1;
    for (const DisplayCase& entry : displayCases) {
        SCOPED_TRACE(entry.name);
        const FakeDevice device = deviceFor(entry, number++);
        // A mode button changed by hand is set again from the next device.
        c.staticRadio->setChecked(true);
        ASSERT_TRUE(harness.clickRowNamed(entry.name));

        EXPECT_EQ(c.nameEdit->text().toStdString(), entry.name);
        EXPECT_EQ(c.ipAddressEdit->text(), QStringLiteral("10.0.0.%1").arg(device.ip[3]));
        EXPECT_EQ(c.gatewayEdit->text(), QStringLiteral("192.168.1.1"));
        EXPECT_EQ(c.httpPortEdit->text(), QString::number(device.httpPort));
        EXPECT_EQ(c.pppoeAccountEdit->text(), QStringLiteral("dsl-user"));
        EXPECT_EQ(c.macGroup->title().toStdString(), macToText(device.mac));
        EXPECT_EQ(c.deviceInfoText->text().toStdString(),
                  std::string("IP Get:") + entry.modeWord + "\r\nV:" + device.version + "\r\n");

        EXPECT_EQ(c.pppoeRadio->isChecked(), entry.radio == Radio::Pppoe);
        EXPECT_EQ(c.dhcpRadio->isChecked(), entry.radio == Radio::Dhcp);
        EXPECT_EQ(c.staticRadio->isChecked(), entry.radio == Radio::Static);

        const Enabled& e = entry.enabled;
        EXPECT_EQ(c.nameEdit->isEnabled(), e.nameAndPort);
        EXPECT_EQ(c.httpPortEdit->isEnabled(), e.nameAndPort);
        for (QLineEdit* edit : {c.ipAddressEdit, c.subnetMaskEdit, c.gatewayEdit})
            EXPECT_EQ(edit->isEnabled(), e.address);
        EXPECT_FALSE(c.pppoeAccountEdit->isEnabled());
        EXPECT_FALSE(c.pppoePasswordEdit->isEnabled());
        EXPECT_EQ(c.macEdit->isEnabled(), e.macEdit);
        EXPECT_EQ(c.pppoeRadio->isEnabled(), e.pppoeRadio);
        EXPECT_EQ(c.dhcpRadio->isEnabled(), e.dhcpAndStaticRadios);
        EXPECT_EQ(c.staticRadio->isEnabled(), e.dhcpAndStaticRadios);
        EXPECT_EQ(c.loginAccountEdit->isEnabled(), e.login);
        EXPECT_EQ(c.loginPasswordEdit->isEnabled(), e.login);
        EXPECT_EQ(c.submitButton->isEnabled(), e.submit);

        // Hidden without the marker file: a selection leaves it alone.
        EXPECT_FALSE(c.macEdit->isVisibleTo(&harness.dialog()));
        EXPECT_TRUE(c.macEdit->text().isEmpty());
    }
}

TEST(DeviceDisplay, LoginFieldsTakeSixteenCharactersOnceADeviceIsSelected)
{
    DialogHarness harness;
    ASSERT_TRUE(harness.waitForStartUp());
    const DialogControls& c = harness.controls();
    FakeDevice device;
    device.kind = 1;
    device.name = "recorder";
    device.mac = {1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(harness.deliver(device));
    ASSERT_TRUE(harness.clickRowNamed("recorder"));

    for (QLineEdit* edit : {c.loginAccountEdit, c.loginPasswordEdit}) {
        ASSERT_TRUE(edit->isEnabled());
        QTest::mouseClick(edit, Qt::LeftButton);
        QTest::keyClicks(edit, QStringLiteral("abcdefghijklmnopqrst"));
        EXPECT_EQ(edit->text(), QStringLiteral("abcdefghijklmnop"));
    }

    // What was typed stays through the next selection.
    device.name = "camera";
    device.mac[5] = 7;
    ASSERT_TRUE(harness.deliver(device));
    ASSERT_TRUE(harness.clickRowNamed("camera"));
    EXPECT_EQ(c.loginAccountEdit->text(), QStringLiteral("abcdefghijklmnop"));
}

TEST(DeviceDisplay, MarkerFileShowsTheMacFieldWhichTheSelectionThenFills)
{
    for (const bool marked : {false, true}) {
        SCOPED_TRACE(marked ? "marker present" : "marker absent");
        DialogHarness harness(marked);
        ASSERT_TRUE(harness.waitForStartUp());
        const DialogControls& c = harness.controls();
        EXPECT_EQ(c.macEdit->isVisible(), marked);
        EXPECT_EQ(c.macLabel->isVisible(), marked);

        FakeDevice device;
        device.name = "nvr";
        device.mac = {0xAA, 0xBB, 0xCC, 0x01, 0x02, 0x03};
        ASSERT_TRUE(harness.deliver(device));
        ASSERT_TRUE(harness.clickRowNamed("nvr"));
        EXPECT_EQ(c.macGroup->title(), QStringLiteral("aabbcc010203"));
        EXPECT_EQ(c.macEdit->text(), marked ? QStringLiteral("aabbcc010203") : QString());
    }
}

} // namespace
} // namespace tavolix::test
