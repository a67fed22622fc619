#include "NumberText.h"

#include <locale.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace velotan::cipher {
namespace {

// strtod and printf follow the thread's C locale, which the window toolkit
// takes from the environment: under a German or Russian locale they would
// read and write a comma for the point, and the program would disagree with
// every other reader of the same text. Each conversion runs with the "C"
// locale for this thread only; setting the global locale back would not do,
// since a library may set it again.
class ClassicNumbers {
  public:
    ClassicNumbers() : previous_(Classic() ? uselocale(Classic()) : nullptr) {}
    ~ClassicNumbers() {
        if (previous_)
            uselocale(previous_);
    }
    ClassicNumbers(const ClassicNumbers&) = delete;
    ClassicNumbers& operator=(const ClassicNumbers&) = delete;

  private:
    static locale_t Classic() {
        static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
        return c;
    }
    locale_t previous_;
};

double ReadDouble(const std::string& num) {
    ClassicNumbers classic;
    return std::strtod(num.c_str(), nullptr);
}

bool IsBlank(char16_t c) {
    return IsBlank(c, Blanks::WithLineFeed);
}
bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Collects the number at the start of `text` (blanks skipped) as ASCII.
// `end` receives the index just past the last character that was used.
std::string Collect(std::u16string_view text, size_t& end) {
    std::string num;
    size_t i = 0;
    auto skip = [&] {
        while (i < text.size() && IsBlank(text[i]))
            ++i;
    };
    skip();
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        num.push_back(static_cast<char>(text[i++]));
        skip();
    }
    bool digits = false;
    // Digits, with blanks between them ignored.
    auto readDigits = [&] {
        for (; i < text.size(); ++i) {
            if (IsDigit(text[i])) {
                num.push_back(static_cast<char>(text[i]));
                digits = true;
            } else if (!IsBlank(text[i])) {
                break;
            }
        }
    };
    readDigits();
    if (i < text.size() && text[i] == u'.') {
        num.push_back('.');
        ++i;
        readDigits();
    }
    end = i;
    if (!digits) {
        end = 0;
        return {};
    }
    // An exponent counts only when digits follow it.
    if (i < text.size() &&
        (text[i] == u'E' || text[i] == u'e' || text[i] == u'D' || text[i] == u'd')) {
        size_t j = i + 1;
        std::string exp = "e";
        if (j < text.size() && (text[j] == u'-' || text[j] == u'+'))
            exp.push_back(static_cast<char>(text[j++]));
        bool expDigits = false;
        while (j < text.size() && (IsDigit(text[j]) || IsBlank(text[j]))) {
            if (IsDigit(text[j])) {
                exp.push_back(static_cast<char>(text[j]));
                expDigits = true;
            }
            ++j;
        }
        if (expDigits) {
            num += exp;
            end = j;
        }
    }
    return num;
}

}  // namespace

std::u16string_view TrimBlanks(std::u16string_view text, Blanks set) {
    while (!text.empty() && IsBlank(text.front(), set))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back(), set))
        text.remove_suffix(1);
    return text;
}

double LeadingNumber(std::u16string_view text) {
    // Fast path: plain digits, the form every cipher element takes.
    if (!text.empty() && text.size() <= 15) {
        int64_t v = 0;
        bool plain = true;
        for (char16_t c : text) {
            if (!IsDigit(c)) {
                plain = false;
                break;
            }
            v = v * 10 + (c - u'0');
        }
        if (plain)
            return static_cast<double>(v);
    }
    size_t end = 0;
    std::string num = Collect(text, end);
    if (num.empty())
        return 0.0;
    double v = ReadDouble(num);
    return std::isfinite(v) ? v : 0.0;
}

std::string DoubleText(double value) {
    if (value == 0.0)
        return "0";
    if (std::isnan(value))
        return "0";
    if (value == std::trunc(value) && std::fabs(value) < 1e15) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(value));
        return buf;
    }
    char buf[64];
    {
        ClassicNumbers classic;
        std::snprintf(buf, sizeof buf, "%.15G", value);
    }
    std::string s = buf;
    // %G writes a two-digit exponent with sign already ("1E-05", "1E+15").
    return s;
}

double RoundHalfEven(double value) {
    return std::nearbyint(value);
}

std::optional<int64_t> WholeNumber(std::u16string_view text) {
    size_t end = 0;
    std::string num = Collect(text, end);
    if (num.empty())
        return std::nullopt;
    for (size_t i = end; i < text.size(); ++i) {
        if (!IsBlank(text[i]) && text[i] != u'\r')
            return std::nullopt;
    }
    double v = ReadDouble(num);
    if (!std::isfinite(v) || std::fabs(v) > 9e15)
        return std::nullopt;
    return static_cast<int64_t>(RoundHalfEven(v));
}

std::optional<int16_t> KeyNumber(std::u16string_view text) {
    const auto value = WholeNumber(text);
    if (!value || *value < INT16_MIN || *value > INT16_MAX)
        return std::nullopt;
    return static_cast<int16_t>(*value);
}

}  // namespace velotan::cipher
