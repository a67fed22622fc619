#pragma once
// The address a share button opens: the network's share page followed by the
// share text as a query value. The text is percent-encoded as UTF-8, so "&",
// "#" or "%" in a cipher text can neither cut nor corrupt the query.

#include <string>
#include <string_view>

namespace velotan::windows {

// UTF-8 bytes with every byte outside the RFC 3986 unreserved set
// (A-Z a-z 0-9 - . _ ~) written as %XX, upper-case hex.
std::string PercentEncode(std::string_view utf8);

// The longest address a share button opens. Web servers commonly accept
// request lines of about this length, and longer ones may not even reach the
// browser; a mood of roughly 300 Chinese characters fits.
inline constexpr size_t kMaxShareAddressBytes = 8000;

// `endpoint` followed directly by the percent-encoded `shareText`.
std::string ShareAddress(std::string_view endpoint, std::u16string_view shareText);

}  // namespace velotan::windows
