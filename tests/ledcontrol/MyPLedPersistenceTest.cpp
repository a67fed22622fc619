#include "LedTestSupport.h"
#include "MyPLed.h"
#include "VxLedControl/MemoryPropertyBag.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vxled {
namespace {

using ::testing::_;
using ::testing::DoAll;
using ::testing::InSequence;
using ::testing::Return;
using ::testing::SetArgPointee;
using ::testing::StrictMock;

class MockPropertyBag : public IPropertyBag {
  public:
    virtual ~MockPropertyBag() = default;
    MOCK_METHOD(HResult, ReadProperty, (const QString&, const Variant&, Variant*), (override));
    MOCK_METHOD(HResult, WriteProperty, (const QString&, const Variant&, const Variant&),
                (override));
};

class MyPLedPersistence : public ::testing::Test {
  protected:
    void SetUp() override { ensureApplication(); }
};

TEST_F(MyPLedPersistence, RoundTripThroughABag) {
    MyPLed saved;
    saved.put_LedLeft(-20);
    saved.put_LedTop(9);
    saved.put_Backcolor(0x00112233);
    saved.put_Forecolor(0x8000000F);
    saved.put_LedBackcolor(0x00445566);
    saved.put_Caption(QStringLiteral("27.39"));
    saved.put_Alignment(TextRight);
    MemoryPropertyBag bag;
    ASSERT_EQ(saved.WriteProperties(bag), S_OK);

    MyPLed loaded;
    ASSERT_EQ(loaded.ReadProperties(bag), S_OK);
    EXPECT_EQ(loaded.LedLeft(), -20);
    EXPECT_EQ(loaded.LedTop(), 9);
    EXPECT_EQ(loaded.Backcolor(), 0x00112233u);
    EXPECT_EQ(loaded.Forecolor(), 0x8000000Fu);
    EXPECT_EQ(loaded.LedBackcolor(), 0x00445566u);
    EXPECT_EQ(loaded.Caption(), QStringLiteral("27.39"));
    EXPECT_EQ(loaded.Alignment(), TextRight);
}

TEST_F(MyPLedPersistence, DefaultsAreLeftOutAndColoursAlwaysWritten) {
    MyPLed fresh;
    MemoryPropertyBag bag;
    fresh.WriteProperties(bag);
    // A freshly placed control saves its initial caption explicitly.
    EXPECT_EQ(bag.keys(), (QStringList{QStringLiteral("BackColor"), QStringLiteral("ForeColor"),
                                       QStringLiteral("LedBackColor"), QStringLiteral("Caption")}));
    EXPECT_EQ(*bag.find(QStringLiteral("Caption")), Variant(QStringLiteral("123.4567890")));
    EXPECT_EQ(*bag.find(QStringLiteral("BackColor")), Variant(std::int32_t{0}));
}

TEST_F(MyPLedPersistence, CaptionEqualToItsDefaultIsNotStoredButComesBack) {
    MyPLed saved;
    saved.put_Caption(QStringLiteral("123.4"));
    MemoryPropertyBag bag;
    saved.WriteProperties(bag);
    EXPECT_FALSE(bag.contains(QStringLiteral("Caption")));

    MyPLed loaded;
    loaded.ReadProperties(bag);
    EXPECT_EQ(loaded.Caption(), QStringLiteral("123.4"));
}

TEST_F(MyPLedPersistence, BagWithoutCaptionGivesTheSavedDefaultNotTheInitialCaption) {
    MemoryPropertyBag empty;
    MyPLed loaded;
    loaded.ReadProperties(empty);
    EXPECT_EQ(loaded.Caption(), QStringLiteral("123.4"));
}

TEST_F(MyPLedPersistence, CaptionsOwnTheirTextAndCanOutliveTheLibrary) {
    // A host may keep a caption after the library is unloaded: it must not
    // point into the library's static data (as a QStringLiteral would).
    MemoryPropertyBag empty;
    MyPLed loaded;
    loaded.ReadProperties(empty);
    QString caption = loaded.Caption();
    EXPECT_EQ(caption, QStringLiteral("123.4"));
    EXPECT_TRUE(caption.data_ptr().isMutable());
    // The initial caption of a new control, too.
    MyPLed fresh;
    EXPECT_TRUE(fresh.Caption().data_ptr().isMutable());
}

TEST_F(MyPLedPersistence, MissingColoursKeepTheColoursThere) {
    MemoryPropertyBag bag;
    bag.WriteProperty(QStringLiteral("LedLeft"), std::int16_t{30}, std::int16_t{5});
    MyPLed designed;
    designed.ReadProperties(bag);
    EXPECT_EQ(designed.LedLeft(), 30);
    EXPECT_EQ(designed.Backcolor(), 0x00000000u);
    EXPECT_EQ(designed.Forecolor(), 0x0000FF00u);
    EXPECT_EQ(designed.LedBackcolor(), 0x00063003u);

    MyPLed recoloured;
    recoloured.put_Forecolor(0x000000FF);
    recoloured.ReadProperties(bag);
    EXPECT_EQ(recoloured.Forecolor(), 0x000000FFu);
}

TEST_F(MyPLedPersistence, KeysMatchWithoutRegardToCase) {
    MemoryPropertyBag bag;
    bag.WriteProperty(QStringLiteral("ledleft"), std::int16_t{44}, Variant());
    bag.WriteProperty(QStringLiteral("FORECOLOR"), std::int32_t{0x0000FF}, Variant());
    MyPLed loaded;
    loaded.ReadProperties(bag);
    EXPECT_EQ(loaded.LedLeft(), 44);
    EXPECT_EQ(loaded.Forecolor(), 0x0000FFu);
}

TEST_F(MyPLedPersistence, WritesInTableOrderWithTheirDefaults) {
    MyPLed control;
    control.put_LedLeft(7);
    StrictMock<MockPropertyBag> bag;
    {
        InSequence order;
        EXPECT_CALL(bag, WriteProperty(QString("LedLeft"), Variant(std::int16_t{7}),
                                       Variant(std::int16_t{5})));
        EXPECT_CALL(bag, WriteProperty(QString("LedTop"), Variant(std::int16_t{5}),
                                       Variant(std::int16_t{5})));
        EXPECT_CALL(bag, WriteProperty(QString("BackColor"), Variant(std::int32_t{0}), Variant()));
        EXPECT_CALL(
            bag, WriteProperty(QString("ForeColor"), Variant(std::int32_t{0x00FF00}), Variant()));
        EXPECT_CALL(bag, WriteProperty(QString("LedBackColor"), Variant(std::int32_t{0x063003}),
                                       Variant()));
        EXPECT_CALL(bag, WriteProperty(QString("Caption"), Variant(QString("123.4567890")),
                                       Variant(QString("123.4"))));
        EXPECT_CALL(bag, WriteProperty(QString("Alignment"), Variant(std::int32_t{0}),
                                       Variant(std::int32_t{0})));
    }
    EXPECT_EQ(control.WriteProperties(bag), S_OK);
}

TEST_F(MyPLedPersistence, FirstFailedWriteEndsTheSave) {
    MyPLed control;
    StrictMock<MockPropertyBag> bag;
    {
        InSequence order;
        EXPECT_CALL(bag, WriteProperty(QString("LedLeft"), _, _)).WillOnce(Return(S_OK));
        EXPECT_CALL(bag, WriteProperty(QString("LedTop"), _, _)).WillOnce(Return(S_OK));
        EXPECT_CALL(bag, WriteProperty(QString("BackColor"), _, _)).WillOnce(Return(E_FAIL));
    }
    // Quietly: the container sees no error.
    EXPECT_EQ(control.WriteProperties(bag), S_OK);
}

TEST_F(MyPLedPersistence, ReadsEveryKeyInOrderAndSkipsTheOnesThatFail) {
    MyPLed control;
    control.put_LedTop(17);
    control.put_Forecolor(0x0000FF);
    StrictMock<MockPropertyBag> bag;
    {
        InSequence order;
        // Text that is no number cannot convert: LedLeft keeps 5.
        EXPECT_CALL(bag, ReadProperty(QString("LedLeft"), Variant(std::int16_t{5}), _))
            .WillOnce(DoAll(SetArgPointee<2>(Variant(QString("left"))), Return(S_OK)));
        EXPECT_CALL(bag, ReadProperty(QString("LedTop"), Variant(std::int16_t{5}), _))
            .WillOnce(Return(E_FAIL));
        EXPECT_CALL(bag, ReadProperty(QString("BackColor"), Variant(), _))
            .WillOnce(DoAll(SetArgPointee<2>(Variant(std::int32_t{0x00404040})), Return(S_OK)));
        // A colour the surface rejects is skipped too.
        EXPECT_CALL(bag, ReadProperty(QString("ForeColor"), Variant(), _))
            .WillOnce(DoAll(SetArgPointee<2>(Variant(std::int32_t{0x7F000000})), Return(S_OK)));
        EXPECT_CALL(bag, ReadProperty(QString("LedBackColor"), Variant(), _))
            .WillOnce(Return(CTL_E_DATAVALUENOTFOUND));
        EXPECT_CALL(bag, ReadProperty(QString("Caption"), Variant(QString("123.4")), _))
            .WillOnce(DoAll(SetArgPointee<2>(Variant(std::int16_t{42})), Return(S_OK)));
        // A value beyond 32 bits cannot convert: Alignment keeps 0.
        EXPECT_CALL(bag, ReadProperty(QString("Alignment"), Variant(std::int32_t{0}), _))
            .WillOnce(DoAll(SetArgPointee<2>(Variant(3e9)), Return(S_OK)));
    }
    control.ReadProperties(bag);
    EXPECT_EQ(control.LedLeft(), 5);
    EXPECT_EQ(control.LedTop(), 17);
    EXPECT_EQ(control.Backcolor(), 0x00404040u);
    EXPECT_EQ(control.Forecolor(), 0x0000FFu);
    EXPECT_EQ(control.LedBackcolor(), 0x00063003u);
    EXPECT_EQ(control.Caption(), QStringLiteral("42"));
    EXPECT_EQ(control.Alignment(), TextLeft);
}

TEST_F(MyPLedPersistence, ReadingDoesNotRedrawButShowDoes) {
    MyPLed control;
    control.resize(145, 25);
    control.show();
    const QImage before = control.Picture1()->image();
    MemoryPropertyBag bag;
    bag.WriteProperty(QStringLiteral("Caption"), QStringLiteral("8888"), Variant());
    control.ReadProperties(bag);
    EXPECT_EQ(control.Picture1()->image(), before);
    control.UserControl_Show();
    EXPECT_NE(control.Picture1()->image(), before);
}

// ---- the bag itself ------------------------------------------------------------------

TEST(MemoryPropertyBag, LeavesOutValuesEqualToTheirDefault) {
    MemoryPropertyBag bag;
    bag.WriteProperty(QStringLiteral("A"), std::int16_t{5}, std::int16_t{5});
    bag.WriteProperty(QStringLiteral("B"), std::int32_t{5}, std::int16_t{5});
    bag.WriteProperty(QStringLiteral("C"), QStringLiteral("x"), QStringLiteral("x"));
    EXPECT_TRUE(bag.keys().isEmpty());

    // Writing the default over a stored value removes it again.
    bag.WriteProperty(QStringLiteral("A"), std::int16_t{6}, std::int16_t{5});
    EXPECT_TRUE(bag.contains(QStringLiteral("a")));
    bag.WriteProperty(QStringLiteral("A"), std::int16_t{5}, std::int16_t{5});
    EXPECT_FALSE(bag.contains(QStringLiteral("A")));

    // Without a default every value is kept, Empty included.
    bag.WriteProperty(QStringLiteral("D"), Variant(), Variant());
    EXPECT_TRUE(bag.contains(QStringLiteral("D")));
}

TEST(MemoryPropertyBag, AbsentKeyReadsAsDefaultOrFailsWithoutOne) {
    MemoryPropertyBag bag;
    Variant value;
    EXPECT_EQ(bag.ReadProperty(QStringLiteral("X"), std::int16_t{5}, &value), S_OK);
    EXPECT_EQ(value, Variant(std::int16_t{5}));
    EXPECT_EQ(bag.ReadProperty(QStringLiteral("X"), Variant(), &value), CTL_E_DATAVALUENOTFOUND);
}

}  // namespace
}  // namespace vxled
