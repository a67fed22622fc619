#pragma once
// Where the program's web pages live: the maker's pages and the networks'
// share pages. Change a host here and every web command follows.

namespace velotan::app {

inline constexpr const char* kMakerSite = "https://www.mirelsoftware.example";
inline constexpr const char* kHomePagePath = "/index.php";
inline constexpr const char* kSuggestionPagePath = "/tousu";

// The share pages of the four networks the share window posts to, each up to
// its title parameter; the window appends the share text percent-encoded.
inline constexpr const char* kShareTencentWeibo = "https://v.t.qq.com/share/share.php?title=";
inline constexpr const char* kShareSinaWeibo = "https://service.weibo.com/share/share.php?title=";
inline constexpr const char* kSharePhoenixWeibo =
    "https://t.ifeng.com/interface.php?_c=share&_a=share&title=";
inline constexpr const char* kShareQzone =
    "https://sns.qzone.qq.com/cgi-bin/qzshare/cgi_qzshare_onekey?title=";

}  // namespace velotan::app
