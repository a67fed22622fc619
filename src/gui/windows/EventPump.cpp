#include "EventPump.h"

#include <QCoreApplication>
#include <optional>

namespace velotan::update {

std::function<void()> WindowEventPump(std::chrono::milliseconds interval) {
    using Clock = std::chrono::steady_clock;
    return [interval, last = std::optional<Clock::time_point>()]() mutable {
        const auto now = Clock::now();
        if (last && now - *last < interval)
            return;
        QCoreApplication::processEvents();
        last = Clock::now();
    };
}

}  // namespace velotan::update
