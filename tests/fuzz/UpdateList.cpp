// The update window's reading of update.lst: any bytes a server can send are
// joined into one line and read for their leading version number, which is
// then compared with the installed version.
//
// Input: the bytes of update.lst.

#include "update/UpdateList.h"
#include "FuzzSupport.h"

namespace {

bool AllDigits(const std::string& s) {
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

int Sign(int v) {
    return (v > 0) - (v < 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velotan;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const std::u16string joined = update::JoinListText(bytes);
    FUZZ_CHECK(joined.find_first_of(u"\r\n") == std::u16string::npos);

    const update::LeadingNumber list = update::ReadLeadingNumber(joined);
    FUZZ_CHECK(AllDigits(list.integer) && AllDigits(list.fraction));
    FUZZ_CHECK(list.integer.empty() || list.integer.front() != '0');
    FUZZ_CHECK(list.fraction.empty() || list.fraction.back() != '0');
    if (!list.found)
        FUZZ_CHECK(list.integer.empty() && list.fraction.empty());

    // The comparison is an order: reflexive and antisymmetric.
    const update::LeadingNumber installed = update::ReadLeadingNumber(u"1.1.47");
    FUZZ_CHECK(update::CompareNumbers(list, list) == 0);
    FUZZ_CHECK(Sign(update::CompareNumbers(list, installed)) ==
               -Sign(update::CompareNumbers(installed, list)));
    FUZZ_CHECK(update::IsNewerVersion(u"1.1.47", joined) ==
               (update::CompareNumbers(installed, list) < 0));
    return 0;
}
