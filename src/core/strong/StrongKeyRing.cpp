#include "strong/StrongKeyRing.h"

#include <algorithm>
#include <system_error>

#include "platform/AnsiTextFile.h"
#include "strong/StrongText.h"

namespace velotan::strong {
namespace {

constexpr std::string_view kOwnHeader = "velotan strong keys 1";
constexpr std::string_view kFriendsHeader = "velotan friends 1";
constexpr std::string_view kCurrentTag = "current ";
constexpr std::string_view kEarlierTag = "earlier ";
constexpr std::string_view kFriendTag = "friend ";
// Far beyond any ring a person keeps; a larger file is no key ring.
constexpr size_t kMaxRingFileBytes = 16u << 20;

bool Holds(const std::vector<StrongKey>& keys, const StrongKey& key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

Friend* FindFriend(StrongKeyRing& ring, std::string_view name) {
    for (Friend& f : ring.friends) {
        if (f.name == name)
            return &f;
    }
    return nullptr;
}

// `key` becomes current; the old current key becomes the newest earlier one,
// and the key leaves the earlier list if it was there.
void MakeCurrent(StrongKey& current, std::vector<StrongKey>& earlier, const StrongKey& key) {
    earlier.erase(std::remove(earlier.begin(), earlier.end(), key), earlier.end());
    earlier.insert(earlier.begin(), current);
    current = key;
}

RingResult Result(RingStatus status, std::string name = {}, std::string detail = {}) {
    return RingResult{status, std::move(name), std::move(detail)};
}

RingResult Damaged(std::string_view file, size_t line, std::string_view why) {
    return Result(RingStatus::Damaged, {},
                  std::string(file) + " 第 " + std::to_string(line) + " 行：" + std::string(why));
}

using NumberedLines = std::vector<std::pair<size_t, std::string_view>>;

// The text's lines without their line ends; blank lines dropped, each with
// its number.
NumberedLines Lines(std::string_view text) {
    NumberedLines lines;
    size_t number = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        ++number;
        if (SkipBlanks(line, 0) < line.size())
            lines.emplace_back(number, line);
        pos = end + 1;
    }
    return lines;
}

// The lines after the file's header. An empty file has none; a file whose
// first line is not `header` is damaged.
RingResult Body(std::string_view text, std::string_view header, const char* file,
                NumberedLines& body) {
    body = Lines(text);
    if (body.empty())
        return {};
    if (body.front().second != header)
        return Damaged(file, body.front().first, "文件头不对");
    body.erase(body.begin());
    return {};
}

std::optional<StrongKey> KeyAfter(std::string_view line, std::string_view tag) {
    if (line.substr(0, tag.size()) != tag)
        return std::nullopt;
    return ParseKeyText(line.substr(tag.size())).key;
}

void AppendKeyLine(std::string& text, std::string_view tag, const StrongKey& key) {
    text += tag;
    text += KeyText(key);
    text += '\n';
}

struct FileRead {
    std::optional<std::string> text;  // nullopt: no file
    RingResult result;
};

FileRead ReadRingFile(const std::filesystem::path& path) {
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(path, ec);
    if (ec || status.type() == std::filesystem::file_type::not_found) {
        if (ec && ec != std::errc::no_such_file_or_directory)
            return {std::nullopt,
                    Result(RingStatus::Unreadable, {}, path.string() + "：" + ec.message())};
        return {std::nullopt, {}};
    }
    std::string error;
    auto bytes = platform::ReadFileBytes(path, &error, kMaxRingFileBytes);
    if (!bytes)
        return {std::nullopt, Result(RingStatus::Unreadable, {}, path.string() + "：" + error)};
    return {std::move(bytes), {}};
}

RingResult WriteRingFile(const std::filesystem::path& path, const std::string& text) {
    std::string error;
    if (!platform::WriteFileAtomic(path, text, platform::kPrivateFileMode, &error))
        return Result(RingStatus::WriteFailed, {}, path.string() + "：" + error);
    return {};
}

}  // namespace

std::vector<Candidate> Candidates(const StrongKeyRing& ring) {
    std::vector<Candidate> out;
    if (ring.own)
        out.push_back({*ring.own, {}});
    for (const StrongKey& key : ring.ownEarlier)
        out.push_back({key, {}});
    for (const Friend& f : ring.friends) {
        out.push_back({f.current, f.name});
        for (const StrongKey& key : f.earlier)
            out.push_back({key, f.name});
    }
    return out;
}

std::optional<std::string> HolderOf(const StrongKeyRing& ring, const StrongKey& key) {
    if ((ring.own && *ring.own == key) || Holds(ring.ownEarlier, key))
        return std::string(kSelfName);
    for (const Friend& f : ring.friends) {
        if (f.current == key || Holds(f.earlier, key))
            return f.name;
    }
    return std::nullopt;
}

std::string RingMessage(const RingResult& result) {
    switch (result.status) {
        case RingStatus::Ok:
        case RingStatus::Unchanged:
            return "";
        case RingStatus::OwnKeyExists:
            return "您已经有一把强加密钥匙。换了新钥匙，好友要拿到新钥匙才能读您以后的心情。";
        case RingStatus::NoOwnKey:
            return "您还没有强加密钥匙。";
        case RingStatus::HeldByOther:
            return "这把钥匙已经在「" + result.name + "」名下，不能再记到别的名字下。";
        case RingStatus::BadName:
            return "好友的名字不能是空的，也不能含有换行等控制字符。";
        case RingStatus::NoSuchFriend:
            return "没有名叫「" + result.name + "」的好友。";
        case RingStatus::Unreadable:
            return "无法读取钥匙文件：" + result.detail;
        case RingStatus::Damaged:
            return "钥匙文件已损坏，程序不会改写它：" + result.detail;
        case RingStatus::WriteFailed:
            return "无法保存钥匙文件，什么都没有改变：" + result.detail;
        case RingStatus::NoKeyStore:
            return "没有找到存放密钥的位置（U盘或设置的文件夹）。";
    }
    return "";
}

RingResult MakeOwnKey(StrongKeyRing& ring, const StrongKey& fresh, bool replace) {
    if (ring.own && !replace)
        return Result(RingStatus::OwnKeyExists);
    if (auto holder = HolderOf(ring, fresh))
        return Result(RingStatus::HeldByOther, *holder);
    if (ring.own) {
        MakeCurrent(*ring.own, ring.ownEarlier, fresh);
    } else {
        ring.own = fresh;
    }
    return {};
}

RingResult ImportOwnKey(StrongKeyRing& ring, const StrongKey& key) {
    if (ring.own && *ring.own == key)
        return Result(RingStatus::Unchanged);
    const auto holder = HolderOf(ring, key);
    if (holder && *holder != kSelfName)
        return Result(RingStatus::HeldByOther, *holder);
    if (ring.own) {
        MakeCurrent(*ring.own, ring.ownEarlier, key);
    } else {
        // An earlier key taken back before any current one: it leaves the list.
        ring.ownEarlier.erase(std::remove(ring.ownEarlier.begin(), ring.ownEarlier.end(), key),
                              ring.ownEarlier.end());
        ring.own = key;
    }
    return {};
}

RingResult AddFriend(StrongKeyRing& ring, std::string_view name, const StrongKey& key) {
    const auto clean = CleanFriendName(name);
    if (!clean)
        return Result(RingStatus::BadName);
    const auto holder = HolderOf(ring, key);
    if (holder && *holder != *clean)
        return Result(RingStatus::HeldByOther, *holder);
    Friend* existing = FindFriend(ring, *clean);
    if (!existing) {
        ring.friends.push_back(Friend{*clean, key, {}});
        return {};
    }
    if (existing->current == key)
        return Result(RingStatus::Unchanged);
    MakeCurrent(existing->current, existing->earlier, key);
    return {};
}

RingResult RemoveFriend(StrongKeyRing& ring, std::string_view name) {
    const std::string clean = CleanFriendName(name).value_or(std::string(name));
    const auto it = std::find_if(ring.friends.begin(), ring.friends.end(),
                                 [&](const Friend& f) { return f.name == clean; });
    if (it == ring.friends.end())
        return Result(RingStatus::NoSuchFriend, clean);
    ring.friends.erase(it);
    return {};
}

std::optional<std::string> CleanFriendName(std::string_view name) {
    size_t begin = SkipBlanks(name, 0);
    size_t end = name.size();
    // Trailing blanks: scan forward, remembering where the last non-blank ended.
    size_t lastEnd = begin;
    for (size_t pos = begin; pos < end;) {
        if (const size_t blank = BlankLength(name, pos)) {
            pos += blank;
        } else {
            ++pos;
            lastEnd = pos;
        }
    }
    const std::string_view trimmed = name.substr(begin, lastEnd - begin);
    if (trimmed.empty() || !IsValidUtf8(trimmed))
        return std::nullopt;
    for (char c : trimmed) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return std::nullopt;
    }
    return std::string(trimmed);
}

std::string FormatOwnKeys(const StrongKeyRing& ring) {
    std::string text(kOwnHeader);
    text += '\n';
    if (ring.own)
        AppendKeyLine(text, kCurrentTag, *ring.own);
    for (const StrongKey& key : ring.ownEarlier)
        AppendKeyLine(text, kEarlierTag, key);
    return text;
}

std::string FormatFriends(const StrongKeyRing& ring) {
    std::string text(kFriendsHeader);
    text += '\n';
    for (const Friend& f : ring.friends) {
        text += kFriendTag;
        text += f.name;
        text += '\n';
        AppendKeyLine(text, kCurrentTag, f.current);
        for (const StrongKey& key : f.earlier)
            AppendKeyLine(text, kEarlierTag, key);
    }
    return text;
}

RingResult ParseOwnKeys(std::string_view text, StrongKeyRing& ring) {
    std::optional<StrongKey> own;
    std::vector<StrongKey> earlier;
    NumberedLines lines;
    if (RingResult header = Body(text, kOwnHeader, kOwnKeysFileName, lines);
        header.status != RingStatus::Ok)
        return header;
    for (const auto& [number, line] : lines) {
        if (auto key = KeyAfter(line, kCurrentTag); key && !own) {
            own = key;
        } else if (auto old = KeyAfter(line, kEarlierTag)) {
            earlier.push_back(*old);
        } else {
            return Damaged(kOwnKeysFileName, number, "不是一行钥匙");
        }
    }
    ring.own = own;
    ring.ownEarlier = std::move(earlier);
    return {};
}

RingResult ParseFriends(std::string_view text, StrongKeyRing& ring) {
    std::vector<Friend> friends;
    bool hasCurrent = false;
    NumberedLines lines;
    if (RingResult header = Body(text, kFriendsHeader, kFriendsFileName, lines);
        header.status != RingStatus::Ok)
        return header;
    for (const auto& [number, line] : lines) {
        if (line.substr(0, kFriendTag.size()) == kFriendTag) {
            if (!friends.empty() && !hasCurrent)
                return Damaged(kFriendsFileName, number, "上一位好友没有钥匙");
            const auto name = CleanFriendName(line.substr(kFriendTag.size()));
            if (!name)
                return Damaged(kFriendsFileName, number, "好友的名字不对");
            friends.push_back(Friend{*name, {}, {}});
            hasCurrent = false;
        } else if (friends.empty()) {
            return Damaged(kFriendsFileName, number, "钥匙前没有好友的名字");
        } else if (auto key = KeyAfter(line, kCurrentTag); key && !hasCurrent) {
            friends.back().current = *key;
            hasCurrent = true;
        } else if (auto old = KeyAfter(line, kEarlierTag)) {
            friends.back().earlier.push_back(*old);
        } else {
            return Damaged(kFriendsFileName, number, "不是一行钥匙");
        }
    }
    if (!friends.empty() && !hasCurrent)
        return Damaged(kFriendsFileName, lines.back().first, "最后一位好友没有钥匙");
    ring.friends = std::move(friends);
    return {};
}

LoadedRing LoadKeyRing(const std::filesystem::path& keyStoreFolder) {
    LoadedRing loaded;
    if (keyStoreFolder.empty()) {
        loaded.result = Result(RingStatus::NoKeyStore);
        return loaded;
    }
    FileRead own = ReadRingFile(keyStoreFolder / kOwnKeysFileName);
    if (own.result.status != RingStatus::Ok) {
        loaded.result = own.result;
        return loaded;
    }
    if (own.text) {
        loaded.result = ParseOwnKeys(*own.text, loaded.ring);
        if (loaded.result.status != RingStatus::Ok)
            return loaded;
    }
    FileRead friends = ReadRingFile(keyStoreFolder / kFriendsFileName);
    if (friends.result.status != RingStatus::Ok) {
        loaded.result = friends.result;
        return loaded;
    }
    if (friends.text)
        loaded.result = ParseFriends(*friends.text, loaded.ring);
    return loaded;
}

namespace {

enum class RingFile { Own, Friends };

// Reads both files afresh, edits, and writes the one file the edit concerns.
template <typename Edit>
RingResult EditAndSave(const std::filesystem::path& folder, RingFile file, StrongKeyRing& ring,
                       Edit edit) {
    LoadedRing loaded = LoadKeyRing(folder);
    ring = loaded.ring;
    if (loaded.result.status != RingStatus::Ok)
        return loaded.result;
    StrongKeyRing edited = loaded.ring;
    RingResult result = edit(edited);
    if (result.status != RingStatus::Ok)
        return result;
    const bool own = file == RingFile::Own;
    RingResult written = WriteRingFile(folder / (own ? kOwnKeysFileName : kFriendsFileName),
                                       own ? FormatOwnKeys(edited) : FormatFriends(edited));
    if (written.status != RingStatus::Ok)
        return written;
    ring = std::move(edited);
    return result;
}

}  // namespace

RingResult SaveNewOwnKey(const std::filesystem::path& keyStoreFolder, const StrongKey& fresh,
                         bool replace, StrongKeyRing& ring) {
    return EditAndSave(keyStoreFolder, RingFile::Own, ring,
                       [&](StrongKeyRing& r) { return MakeOwnKey(r, fresh, replace); });
}

RingResult SaveImportedOwnKey(const std::filesystem::path& keyStoreFolder, const StrongKey& key,
                              StrongKeyRing& ring) {
    return EditAndSave(keyStoreFolder, RingFile::Own, ring,
                       [&](StrongKeyRing& r) { return ImportOwnKey(r, key); });
}

RingResult SaveFriend(const std::filesystem::path& keyStoreFolder, std::string_view name,
                      const StrongKey& key, StrongKeyRing& ring) {
    return EditAndSave(keyStoreFolder, RingFile::Friends, ring,
                       [&](StrongKeyRing& r) { return AddFriend(r, name, key); });
}

RingResult SaveFriendRemoved(const std::filesystem::path& keyStoreFolder, std::string_view name,
                             StrongKeyRing& ring) {
    return EditAndSave(keyStoreFolder, RingFile::Friends, ring,
                       [&](StrongKeyRing& r) { return RemoveFriend(r, name); });
}

}  // namespace velotan::strong
