// What a screen reader learns from the LED panel: its caption, as the name,
// or as the description where the host has named the panel. (That a change
// is announced shows on the real accessibility bus, in the end-to-end suite:
// without one, Qt sends no events.)

#include "LedTestSupport.h"
#include "MyPLed.h"
#include "VxLedControl/MemoryPropertyBag.h"
#include "common/AccessibleView.h"

#include <QAccessible>
#include <QGroupBox>
#include <QLabel>

#include <gtest/gtest.h>

namespace vxled {
namespace {

using velotan::test::Accessible;
using velotan::test::AccessibleName;
using velotan::test::AccessibleText;

class MyPLedAccessibleTest : public ::testing::Test {
  protected:
    void SetUp() override { ensureApplication(); }
};

TEST_F(MyPLedAccessibleTest, UnnamedPanelIsStaticTextNamedByItsCaption) {
    MyPLed led;
    QAccessibleInterface* iface = Accessible(&led);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::StaticText);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("123.4567890"));
    EXPECT_EQ(iface->text(QAccessible::Value), QStringLiteral("123.4567890"));
    // The drawing surface is no object of its own: nothing unnamed below.
    EXPECT_EQ(iface->childCount(), 0);

    // A caption put by the host's dispatch identifier, as the settings
    // window puts its keys, is the new name at once.
    ASSERT_EQ(led.PutProperty(MyPLedDispId::Caption, QStringLiteral("12.200")), S_OK);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("12.200"));
}

TEST_F(MyPLedAccessibleTest, HostsNameLeavesTheCaptionAsDescription) {
    QWidget window;
    auto* led = new MyPLed(&window);
    led->setAccessibleName(QStringLiteral("您的密钥"));
    ASSERT_EQ(led->put_Caption(QStringLiteral("7.31")), S_OK);
    EXPECT_EQ(AccessibleName(led), QStringLiteral("您的密钥"));
    EXPECT_EQ(AccessibleText(led, QAccessible::Description), QStringLiteral("7.31"));
    EXPECT_EQ(AccessibleText(led, QAccessible::Value), QStringLiteral("7.31"));

    // An empty caption (keys of 0) is an empty description, not a stale one.
    ASSERT_EQ(led->put_Caption(QString()), S_OK);
    EXPECT_EQ(AccessibleText(led, QAccessible::Description), QString());
}

TEST_F(MyPLedAccessibleTest, BuddyLabelNamesThePanelAFrameTitleDoesNot) {
    QGroupBox frame(QStringLiteral("私人密钥信息"));
    auto* led = new MyPLed(&frame);
    ASSERT_EQ(led->put_Caption(QStringLiteral("39.17")), S_OK);
    // Qt would name a control in a frame after the frame; the panel keeps
    // saying its keys.
    EXPECT_EQ(AccessibleName(led), QStringLiteral("39.17"));

    auto* label = new QLabel(QStringLiteral("您的密钥(&K)："), &frame);
    label->setBuddy(led);
    EXPECT_EQ(AccessibleName(led), QStringLiteral("您的密钥(K)："));
    EXPECT_EQ(AccessibleText(led, QAccessible::Description), QStringLiteral("39.17"));
}

TEST_F(MyPLedAccessibleTest, LoadedCaptionIsTheName) {
    MyPLed led;
    MemoryPropertyBag bag;
    bag.WriteProperty(QStringLiteral("Caption"), QStringLiteral("5.6"), QStringLiteral("123.4"));
    ASSERT_EQ(led.ReadProperties(bag), S_OK);
    EXPECT_EQ(AccessibleName(&led), QStringLiteral("5.6"));
}

}  // namespace
}  // namespace vxled
