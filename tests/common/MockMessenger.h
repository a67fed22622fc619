#pragma once

#include <gmock/gmock.h>

#include "platform/Messenger.h"

namespace velotan::testing {

class MockMessenger : public platform::Messenger {
  public:
    MockMessenger() {
        ON_CALL(*this, MsgBox).WillByDefault(::testing::Return(platform::MsgResult::Ok));
    }
    MOCK_METHOD(platform::MsgResult, MsgBox,
                (const std::u16string& prompt, int style, const std::u16string& title), (override));
};

// gmock's HasSubstr knows no UTF-16 strings.
MATCHER_P(HasText, part, "contains the given text") {
    return std::u16string_view(arg).find(part) != std::u16string_view::npos;
}

}  // namespace velotan::testing
