#pragma once
// Puts the process under a locale whose decimal separator is a comma, as the
// window toolkit does for a German user, and restores the old one afterwards.
// scripts/setup generates de_DE.UTF-8; a test skips itself without it.

#include <clocale>
#include <cstdio>
#include <string>

namespace velotan::testing {

class CommaLocale {
  public:
    CommaLocale() {
        const char* old = std::setlocale(LC_ALL, nullptr);
        previous_ = old ? old : "C";
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
            if (std::setlocale(LC_ALL, name) != nullptr) {
                char buf[16];
                std::snprintf(buf, sizeof buf, "%.1f", 0.5);
                if (std::string(buf) == "0,5") {
                    active_ = true;
                    return;
                }
            }
        }
        std::setlocale(LC_ALL, previous_.c_str());
    }
    ~CommaLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    // False when no comma-decimal locale is installed.
    bool Active() const { return active_; }

  private:
    std::string previous_;
    bool active_ = false;
};

}  // namespace velotan::testing
