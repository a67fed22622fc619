#include "LedTestSupport.h"
#include "MyPLed.h"
#include "MyPLedClassFactory.h"

#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace vxled {
namespace {

constexpr QRgb kBlack = 0xFF000000;

class CountingSink final : public IClickSink {
  public:
    void Click() override { ++clicks; }
    int clicks = 0;
};

class MyPLedTest : public ::testing::Test {
  protected:
    void SetUp() override { ensureApplication(); }

    // A shown top-level control of the given size in twips.
    std::unique_ptr<MyPLed> shownControl(int widthTwips, int heightTwips) {
        auto control = std::make_unique<MyPLed>();
        const double tpp = 1440.0 / control->logicalDpiX();
        control->resize(qRound(widthTwips / tpp), qRound(heightTwips / tpp));
        control->show();
        return control;
    }

    static bool allPixels(const QImage& image, QRgb colour) {
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixel(x, y) != colour) {
                    return false;
                }
            }
        }
        return true;
    }
};

// ---- a new control -----------------------------------------------------------

TEST_F(MyPLedTest, NewControlHasTheInitialValuesAndDesignedColours) {
    MyPLed control;
    EXPECT_EQ(control.Caption(), QStringLiteral("123.4567890"));
    EXPECT_EQ(control.LedLeft(), 5);
    EXPECT_EQ(control.LedTop(), 5);
    EXPECT_EQ(control.Alignment(), TextLeft);
    EXPECT_EQ(control.Backcolor(), 0x00000000u);
    EXPECT_EQ(control.Forecolor(), 0x0000FF00u);
    EXPECT_EQ(control.LedBackcolor(), 0x00063003u);
    ASSERT_NE(control.Picture1(), nullptr);
    EXPECT_EQ(control.Picture1()->objectName(), QStringLiteral("Picture1"));
    EXPECT_EQ(control.findChild<QWidget*>(QStringLiteral("Picture1")), control.Picture1());
    EXPECT_TRUE(control.Picture1()->AutoRedraw());
}

// ---- properties --------------------------------------------------------------

TEST_F(MyPLedTest, PutsStoreWithoutRangeChecks) {
    MyPLed control;
    EXPECT_EQ(control.put_LedLeft(-300), S_OK);
    EXPECT_EQ(control.put_LedTop(32767), S_OK);
    EXPECT_EQ(control.put_Alignment(7), S_OK);
    EXPECT_EQ(control.put_Caption(QStringLiteral("a\U0001F600")), S_OK);
    EXPECT_EQ(control.LedLeft(), -300);
    EXPECT_EQ(control.LedTop(), 32767);
    EXPECT_EQ(control.Alignment(), 7);
    // Drawing never changes the caption.
    EXPECT_EQ(control.Caption(), QStringLiteral("a\U0001F600"));
}

TEST_F(MyPLedTest, InvalidColourFailsThePutAndKeepsTheColour) {
    MyPLed control;
    EXPECT_EQ(control.put_Backcolor(0x01000000), CTL_E_INVALIDPROPERTYVALUE);
    EXPECT_EQ(control.put_Forecolor(0x80000099), CTL_E_INVALIDPROPERTYVALUE);
    EXPECT_EQ(control.put_LedBackcolor(0xFF123456), CTL_E_INVALIDPROPERTYVALUE);
    EXPECT_EQ(control.Backcolor(), 0x00000000u);
    EXPECT_EQ(control.Forecolor(), 0x0000FF00u);
    EXPECT_EQ(control.LedBackcolor(), 0x00063003u);
    // System colours are fine.
    EXPECT_EQ(control.put_Backcolor(0x8000000F), S_OK);
    EXPECT_EQ(control.Backcolor(), 0x8000000Fu);
}

TEST_F(MyPLedTest, EveryPutRedraws) {
    auto control = shownControl(2175, 375);
    const QImage initial = control->Picture1()->image();
    control->put_Caption(QStringLiteral("12.200"));
    const QImage withCaption = control->Picture1()->image();
    EXPECT_NE(withCaption, initial);
    control->put_Forecolor(0x000000FF);
    const QImage recoloured = control->Picture1()->image();
    EXPECT_NE(recoloured, withCaption);
    control->put_LedLeft(50);
    EXPECT_NE(control->Picture1()->image(), recoloured);
}

TEST_F(MyPLedTest, EveryPutDrawsWhatAFullRedrawDraws) {
    // After each put the panel must already show what a redraw (as on Show)
    // makes of the new values: neither the old picture nor a cleared one.
    auto control = shownControl(2175, 375);
    control->put_Caption(QStringLiteral("12.200"));
    const std::pair<const char*, std::function<void()>> puts[] = {
        {"Backcolor", [&] { control->put_Backcolor(0x00402010); }},
        {"LedBackcolor", [&] { control->put_LedBackcolor(0x00808080); }},
        {"LedTop", [&] { control->put_LedTop(40); }},
        {"Forecolor", [&] { control->put_Forecolor(0x000000FF); }},
        {"LedLeft", [&] { control->put_LedLeft(90); }},
        {"Alignment", [&] { control->put_Alignment(TextRight); }},
        {"Caption", [&] { control->put_Caption(QStringLiteral("7.3")); }},
    };
    for (const auto& [name, put] : puts) {
        const QImage before = control->Picture1()->image();
        put();
        const QImage afterPut = control->Picture1()->image();
        EXPECT_NE(afterPut, before) << name;
        control->UserControl_Show();
        EXPECT_EQ(afterPut, control->Picture1()->image()) << name;
    }
}

TEST_F(MyPLedTest, UnknownAlignmentShowsOnlyTheBackgroundUntilPutBack) {
    auto control = shownControl(2175, 375);
    control->put_Caption(QStringLiteral("12.200"));
    const QImage text = control->Picture1()->image();
    control->put_Alignment(2);
    EXPECT_TRUE(allPixels(control->Picture1()->image(), kBlack));
    control->put_Alignment(TextLeft);
    EXPECT_EQ(control->Picture1()->image(), text);
    control->put_Alignment(TextRight);
    EXPECT_FALSE(allPixels(control->Picture1()->image(), kBlack));
}

// ---- late binding ----------------------------------------------------------------

TEST_F(MyPLedTest, PropertiesAreReachableByTheirDispatchIds) {
    MyPLed control;
    IDispatch& dispatch = control;
    EXPECT_EQ(dispatch.PutProperty(0x68030003, QStringLiteral("39.17")), S_OK);
    EXPECT_EQ(control.Caption(), QStringLiteral("39.17"));
    EXPECT_EQ(dispatch.PutProperty(0x68030006, std::int32_t{1}), S_OK);
    EXPECT_EQ(dispatch.PutProperty(0x68030005, std::int16_t{12}), S_OK);
    EXPECT_EQ(dispatch.PutProperty(0x68030004, std::int16_t{7}), S_OK);
    EXPECT_EQ(dispatch.PutProperty(0x68030002, std::int32_t{0x0000FF}), S_OK);
    EXPECT_EQ(dispatch.PutProperty(0x68030001, std::int32_t{0x222222}), S_OK);
    EXPECT_EQ(dispatch.PutProperty(0x68030000, std::int32_t{0x00FFFF}), S_OK);

    const std::pair<DispId, Variant> expected[] = {
        {0x68030006, std::int32_t{1}},        {0x68030005, std::int16_t{12}},
        {0x68030004, std::int16_t{7}},        {0x68030003, QStringLiteral("39.17")},
        {0x68030002, std::int32_t{0x0000FF}}, {0x68030001, std::int32_t{0x222222}},
        {0x68030000, std::int32_t{0x00FFFF}},
    };
    for (const auto& [id, value] : expected) {
        Variant got;
        EXPECT_EQ(dispatch.GetProperty(id, &got), S_OK) << std::hex << id;
        EXPECT_EQ(got, value) << std::hex << id;
    }
}

TEST_F(MyPLedTest, LateBoundPutsConvertOrFail) {
    MyPLed control;
    IDispatch& dispatch = control;
    // Numbers as text and doubles convert, rounding halves to even.
    EXPECT_EQ(dispatch.PutProperty(MyPLedDispId::LedLeft, QStringLiteral(" 12 ")), S_OK);
    EXPECT_EQ(control.LedLeft(), 12);
    EXPECT_EQ(dispatch.PutProperty(MyPLedDispId::LedTop, 6.5), S_OK);
    EXPECT_EQ(control.LedTop(), 6);
    EXPECT_EQ(dispatch.PutProperty(MyPLedDispId::Caption, std::int32_t{3917}), S_OK);
    EXPECT_EQ(control.Caption(), QStringLiteral("3917"));

    EXPECT_EQ(dispatch.PutProperty(MyPLedDispId::LedLeft, QStringLiteral("left")),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(dispatch.PutProperty(MyPLedDispId::LedLeft, std::int32_t{40000}), DISP_E_OVERFLOW);
    EXPECT_EQ(control.LedLeft(), 12);
    EXPECT_EQ(dispatch.PutProperty(MyPLedDispId::Backcolor, std::int32_t{0x01000000}),
              CTL_E_INVALIDPROPERTYVALUE);

    Variant unused;
    EXPECT_EQ(dispatch.PutProperty(0x68030007, std::int16_t{1}), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(dispatch.GetProperty(0x68030007, &unused), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(dispatch.GetProperty(MyPLedDispId::Caption, nullptr), E_POINTER);
}

// ---- resize and show -------------------------------------------------------------

TEST_F(MyPLedTest, SurfaceFillsTheControlAboveTheStrip) {
    auto control = shownControl(2175, 375);
    const double tpp = control->Picture1()->twipsPerPixel();
    ASSERT_DOUBLE_EQ(tpp, 15.0);
    EXPECT_EQ(control->Picture1()->pos(), QPoint(0, 0));
    EXPECT_DOUBLE_EQ(control->Picture1()->Width(), 2175);
    EXPECT_DOUBLE_EQ(control->Picture1()->Height(), 295);
    EXPECT_EQ(control->Picture1()->size(), QSize(145, 20));
    EXPECT_EQ(control->Picture1()->image().size(), QSize(145, 20));
}

TEST_F(MyPLedTest, ControlLowerThanTheStripGetsAnEmptySurface) {
    auto control = shownControl(2175, 60);
    EXPECT_DOUBLE_EQ(control->Picture1()->Height(), 0);
    EXPECT_EQ(control->Picture1()->height(), 0);
    // Growing again brings the panel back.
    control->resize(145, 25);
    EXPECT_DOUBLE_EQ(control->Picture1()->Height(), 295);
}

// ---- Click -------------------------------------------------------------------------

TEST_F(MyPLedTest, ClickOnTheSurfaceRaisesClickButTheStripDoesNot) {
    auto control = shownControl(2175, 375);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(control.get()));
    CountingSink sink;
    ASSERT_EQ(control->Advise(&sink), S_OK);

    QTest::mouseClick(control->Picture1(), Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_EQ(sink.clicks, 1);

    // The strip is the control's own area below the surface. The click
    // arrives as a user's does: at a point of the window, delivered to
    // whatever widget lies there.
    QWindow* window = control->windowHandle();
    ASSERT_NE(window, nullptr);
    const QPoint inStrip(20, 23);
    ASSERT_EQ(control->childAt(inStrip), nullptr);
    QTest::mouseClick(window, Qt::LeftButton, {}, inStrip);
    EXPECT_EQ(sink.clicks, 1);
    // The same way, a point of the surface does click.
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_EQ(sink.clicks, 2);
    // Were the strip part of the surface, the strip click would count.
    const QSize designed = control->Picture1()->size();
    control->Picture1()->resize(designed.width(), control->height());
    QTest::mouseClick(window, Qt::LeftButton, {}, inStrip);
    EXPECT_EQ(sink.clicks, 3);
    control->Picture1()->resize(designed);

    ASSERT_EQ(control->Unadvise(&sink), S_OK);
    QTest::mouseClick(control->Picture1(), Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_EQ(sink.clicks, 3);
    EXPECT_EQ(control->Unadvise(&sink), E_INVALIDARG);
}

TEST_F(MyPLedTest, PressOnTheSurfaceReleasedElsewhereIsNoClick) {
    auto control = shownControl(2175, 375);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(control.get()));
    CountingSink sink;
    control->Advise(&sink);
    QTest::mousePress(control->Picture1(), Qt::LeftButton, {}, QPoint(20, 10));
    QTest::mouseRelease(control->Picture1(), Qt::LeftButton, {}, QPoint(20, 40));
    EXPECT_EQ(sink.clicks, 0);
}

TEST_F(MyPLedTest, DoubleClickRaisesOneClick) {
    auto control = shownControl(2175, 375);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(control.get()));
    CountingSink sink;
    control->Advise(&sink);
    // What a real double click delivers: press, release, press, double
    // click, release. (QTest's mouseDClick sends the double click alone.)
    const QPoint at(20, 10);
    QTest::mouseClick(control->Picture1(), Qt::LeftButton, {}, at);
    QTest::mousePress(control->Picture1(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(control->Picture1(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(control->Picture1(), Qt::LeftButton, {}, at);
    EXPECT_EQ(sink.clicks, 1);
}

// ---- class factory -------------------------------------------------------------------

TEST_F(MyPLedTest, ClassFactoryCreatesChildControlsAndTracksThem) {
    MyPLedClassFactory& factory = MyPLedClassFactory::instance();
    const int before = MyPLed::liveInstances();
    QWidget parent;

    void* object = nullptr;
    ASSERT_EQ(factory.CreateInstance(&parent, IID_MyPLed, &object), S_OK);
    auto* control = static_cast<IMyPLed*>(object);
    EXPECT_EQ(control->widget()->parentWidget(), &parent);
    EXPECT_EQ(MyPLed::liveInstances(), before + 1);
    EXPECT_EQ(MyPLedClassFactory::canUnloadNow(), S_FALSE);

    // An interface the control does not have creates nothing.
    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory.CreateInstance(&parent, CLSID_MyPLed, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(MyPLed::liveInstances(), before + 1);

    delete control->widget();
    EXPECT_EQ(MyPLed::liveInstances(), before);
    if (before == 0) {
        EXPECT_EQ(MyPLedClassFactory::canUnloadNow(), S_OK);
        factory.LockServer(true);
        EXPECT_EQ(MyPLedClassFactory::canUnloadNow(), S_FALSE);
        factory.LockServer(false);
        EXPECT_EQ(MyPLedClassFactory::canUnloadNow(), S_OK);
    }
}

}  // namespace
}  // namespace vxled
