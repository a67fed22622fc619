#pragma once
// The downloader's pump hook for windows: lets pending window events run.
// It is called after every 512-byte chunk; running the event loop that often
// would cost more than the transfer itself, so it runs it at most once per
// interval (the first call always runs it). A click still lands within a few
// milliseconds.

#include <chrono>
#include <functional>

namespace velotan::update {

inline constexpr std::chrono::milliseconds kPumpInterval{10};

std::function<void()> WindowEventPump(std::chrono::milliseconds interval = kPumpInterval);

}  // namespace velotan::update
