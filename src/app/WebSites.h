#pragma once
// Where the maker's web pages live. Change the host here and every web
// command follows.

namespace velotan::app {

inline constexpr const char* kMakerSite = "https://www.mirelsoftware.example";
inline constexpr const char* kHomePagePath = "/index.php";
inline constexpr const char* kSuggestionPagePath = "/tousu";

}  // namespace velotan::app
