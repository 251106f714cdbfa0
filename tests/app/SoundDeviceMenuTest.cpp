#include "app/SoundDeviceMenu.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const SoundDeviceRow speakers{"Speakers", 0, "alsa_output.speakers", 2, 0};
const SoundDeviceRow microphone{"Microphone", 0, "alsa_input.mic", 0, 1};
const SoundDeviceRow headset{"Headset", 0, "bluez_sink.headset", 2, 1};
const SoundDeviceRow usbDac{"USB DAC", 0, "alsa_output.usb", 2, 0};

class SoundDeviceMenuTest : public ::testing::Test {
protected:
    QStringList titles() const
    {
        QStringList list;
        for (QAction* item : menu.menu()->actions())
            list << item->text();
        return list;
    }

    QString checkedTitle() const
    {
        for (QAction* item : menu.menu()->actions())
            if (item->isChecked())
                return item->text();
        return {};
    }

    void choose(int item) { menu.menu()->actions().at(item)->trigger(); }

    SoundDeviceMenu menu;
    QSignalSpy chosen{&menu, &SoundDeviceMenu::outputDeviceChosen};
};

TEST_F(SoundDeviceMenuTest, OffersTheDefaultThenEveryDeviceThatCanPlay)
{
    menu.setDevices({speakers, microphone, headset});
    EXPECT_EQ(titles(), QStringList({"Default Output Device", "Speakers", "Headset"}));
    EXPECT_EQ(checkedTitle(), "Default Output Device");
    EXPECT_EQ(menu.outputDevice(), -1);

    const SoundDeviceTable& table = menu.soundDeviceTable();
    ASSERT_EQ(table.numDevices(), 3);
    EXPECT_EQ(table.rows()[1].outputChannels, 0);
    EXPECT_EQ(table.outputDevices(), std::vector<int>({0, 2}));
    EXPECT_EQ(table.inputDevices(), std::vector<int>({1, 2}));
    EXPECT_TRUE(chosen.isEmpty());
}

TEST_F(SoundDeviceMenuTest, ChoosingADeviceAndTheDefaultRestartsTheOutput)
{
    menu.setDevices({speakers, microphone, headset});
    choose(2);
    EXPECT_EQ(menu.outputDevice(), 2);
    EXPECT_EQ(checkedTitle(), "Headset");
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.takeFirst().at(0).toByteArray(), "bluez_sink.headset");

    choose(0);
    EXPECT_EQ(menu.outputDevice(), -1);
    EXPECT_EQ(checkedTitle(), "Default Output Device");
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_TRUE(chosen.takeFirst().at(0).toByteArray().isEmpty());
}

TEST_F(SoundDeviceMenuTest, DevicesOfTheSameNameStayApart)
{
    SoundDeviceRow otherSpeakers = usbDac;
    otherSpeakers.name = "Speakers";
    menu.setDevices({speakers, otherSpeakers});
    choose(1);
    EXPECT_EQ(menu.outputDevice(), 0);
    EXPECT_EQ(menu.outputDeviceId(), "alsa_output.speakers");
    choose(2);
    EXPECT_EQ(menu.outputDevice(), 1);
}

TEST_F(SoundDeviceMenuTest, DevicesThatComeAndGoAreOfferedAndDropped)
{
    menu.setDevices({speakers, headset});
    choose(1);
    chosen.clear();
    const uint32_t speakersId = menu.soundDeviceTable().rows()[0].deviceId;

    // Plugged in ahead of the chosen device: the choice follows its row.
    menu.setDevices({usbDac, speakers, headset});
    EXPECT_EQ(titles(), QStringList({"Default Output Device", "USB DAC", "Speakers", "Headset"}));
    EXPECT_EQ(checkedTitle(), "Speakers");
    EXPECT_EQ(menu.outputDevice(), 1);
    EXPECT_EQ(menu.soundDeviceTable().rows()[1].deviceId, speakersId);
    EXPECT_TRUE(chosen.isEmpty());

    // Another device goes: nothing restarts.
    menu.setDevices({speakers});
    EXPECT_EQ(titles(), QStringList({"Default Output Device", "Speakers"}));
    EXPECT_EQ(menu.outputDevice(), 0);
    EXPECT_TRUE(chosen.isEmpty());

    // The chosen device goes: back to the default device.
    menu.setDevices({headset});
    EXPECT_EQ(titles(), QStringList({"Default Output Device", "Headset"}));
    EXPECT_EQ(checkedTitle(), "Default Output Device");
    EXPECT_EQ(menu.outputDevice(), -1);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_TRUE(chosen.takeFirst().at(0).toByteArray().isEmpty());
}

TEST_F(SoundDeviceMenuTest, ARestartDuringAFileRunWaitsUntilItEnds)
{
    bool fileRunning = true;
    menu.setBusyCheck([&] { return fileRunning; });
    menu.setDevices({speakers, headset});
    choose(1);
    choose(2);
    EXPECT_EQ(menu.outputDevice(), 1);
    QTest::qWait(700);
    EXPECT_TRUE(chosen.isEmpty());

    fileRunning = false;
    ASSERT_TRUE(chosen.wait(2000));
    EXPECT_EQ(chosen.takeFirst().at(0).toByteArray(), "bluez_sink.headset");
    QTest::qWait(700);
    EXPECT_TRUE(chosen.isEmpty());
}

// With the suite's sound server (its suite name puts it beside the other tests
// that use it), the system's devices include the test sink.
TEST(SoundDeviceMenuRealAudio, ListsTheSystemsDevices)
{
    SoundDeviceMenu menu;
    menu.followSystemDevices();
    const SoundDeviceTable& table = menu.soundDeviceTable();
    EXPECT_EQ(menu.menu()->actions().size(), 1 + static_cast<int>(table.outputDevices().size()));
    if (qEnvironmentVariableIsSet("KORVEL_TEST_SINK")) {
        const int sink = table.indexOfUid(qEnvironmentVariable("KORVEL_TEST_SINK").toStdString());
        ASSERT_GE(sink, 0);
        EXPECT_EQ(table.rows()[sink].outputChannels, 2);
    }
}

}  // namespace
