#pragma once
// Code page 936 as a table of its own, so that every build converts alike,
// including the web page's, whose C library has no CJK converter. The table
// is written by velotan-makecp936 from glibc's iconv.

namespace velotan::encoding {

inline constexpr int kCp936FirstLead = 0x81;
inline constexpr int kCp936LastLead = 0xFE;
inline constexpr int kCp936FirstTrail = 0x40;
inline constexpr int kCp936LastTrail = 0xFE;
inline constexpr int kCp936Leads = kCp936LastLead - kCp936FirstLead + 1;
inline constexpr int kCp936Trails = kCp936LastTrail - kCp936FirstTrail + 1;

// kCp936Pairs[lead - kCp936FirstLead][trail - kCp936FirstTrail]: the
// character the two bytes form, 0 where they form none.
extern const char16_t kCp936Pairs[kCp936Leads][kCp936Trails];

}  // namespace velotan::encoding
