#include "StrongCommands.h"

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "CliOutput.h"
#include "platform/AnsiTextFile.h"
#include "strong/StrongKey.h"
#include "strong/StrongKeyRing.h"
#include "strong/StrongPost.h"

namespace velotan::cli {
namespace {

using strong::RingStatus;
namespace fs = std::filesystem;

// A key text or a file of them: far beyond any, and small enough to hold.
constexpr size_t kMaxKeyInputBytes = 64 << 10;
constexpr size_t kMaxKeyFileBytes = 1 << 20;

std::optional<strong::StrongKeyRing> LoadRing(const KeyStoreFinder& findStore) {
    const auto store = findStore();
    if (!store)
        return std::nullopt;
    strong::LoadedRing loaded = strong::LoadKeyRing(*store);
    if (loaded.result.status != RingStatus::Ok) {
        Fail(strong::RingMessage(loaded.result));
        return std::nullopt;
    }
    return std::move(loaded.ring);
}

// One key text from standard input; nullopt after telling why it is none.
std::optional<strong::StrongKey> KeyFromInput() {
    bool more = false;
    const std::string text = ReadAtMost(std::cin, kMaxKeyInputBytes, more);
    if (more) {
        Fail("standard input holds more than a key text");
        return std::nullopt;
    }
    const strong::ParsedKey parsed = strong::ParseKeyText(text);
    if (!parsed.key) {
        Fail("no key on standard input: " + strong::KeyTextErrorMessage(parsed.error));
        return std::nullopt;
    }
    return parsed.key;
}

std::optional<std::string> ReadKeyFile(const fs::path& file) {
    std::string error;
    auto bytes = platform::ReadFileBytes(file, &error, kMaxKeyFileBytes);
    if (!bytes)
        Fail("cannot read the key file " + file.string() + ": " + error);
    return bytes;
}

const std::string kNoOwnKey =
    "you have no strong key yet: make one with velotan-cli strong-key --new";

std::string WhoseKey(const std::string& holder) {
    return holder.empty() ? std::string("your own key (「自己」)") : "「" + holder + "」's key";
}

}  // namespace

int EncryptStrong(const std::optional<fs::path>& keyFile, const std::optional<fs::path>& qrFile,
                  const KeyStoreFinder& findStore) {
    bool more = false;
    const std::string mood = ReadAtMost(std::cin, strong::kMaxStrongMoodBytes, more);
    if (more) {
        return Fail("the text is too long for a strong post: it has more than " +
                    std::to_string(strong::kMaxStrongMoodBytes) +
                    " bytes (32,766 characters of three bytes)");
    }
    std::optional<strong::StrongKey> key;
    if (keyFile) {
        const auto text = ReadKeyFile(*keyFile);
        if (!text)
            return 1;
        const strong::ParsedKey parsed = strong::ParseKeyText(*text);
        if (!parsed.key) {
            return Fail(keyFile->string() +
                        " holds no key text: " + strong::KeyTextErrorMessage(parsed.error));
        }
        key = parsed.key;
    } else {
        const auto ring = LoadRing(findStore);
        if (!ring)
            return 1;
        if (!ring->own)
            return Fail(kNoOwnKey);
        key = ring->own;
    }
    const auto post = strong::SealPost(*key, mood);
    if (!post)
        return Fail("the plain text on standard input is not valid UTF-8");
    if (qrFile) {
        if (const int failed = WriteQrFile(*post, *qrFile))
            return failed;
    }
    std::cout << *post << "\n";
    return FlushOutput();
}

int DecryptStrong(std::string_view input, const std::optional<fs::path>& keyFile,
                  const KeyStoreFinder& findStore) {
    std::vector<strong::StrongKey> keys;
    std::vector<std::string> whose;
    if (keyFile) {
        const auto text = ReadKeyFile(*keyFile);
        if (!text)
            return 1;
        const std::vector<std::string> lines = platform::SplitLines(*text);
        for (size_t i = 0; i < lines.size(); ++i) {
            const strong::ParsedKey parsed = strong::ParseKeyText(lines[i]);
            if (parsed.error == strong::KeyTextError::Empty)
                continue;
            const std::string where = "line " + std::to_string(i + 1) + " of " + keyFile->string();
            if (!parsed.key)
                return Fail(where + ": " + strong::KeyTextErrorMessage(parsed.error));
            keys.push_back(*parsed.key);
            whose.push_back("the key on " + where);
        }
        if (keys.empty())
            return Fail(keyFile->string() + " holds no key text");
    } else {
        const auto ring = LoadRing(findStore);
        if (!ring)
            return 1;
        for (const strong::Candidate& c : strong::Candidates(*ring)) {
            keys.push_back(c.key);
            whose.push_back(WhoseKey(c.holder));
        }
        if (keys.empty())
            return Fail("you hold no strong keys: " +
                        strong::OpenStatusMessage(strong::OpenStatus::NoKeyOpens));
    }
    const strong::OpenResult opened = strong::OpenPost(input, keys);
    if (opened.status != strong::OpenStatus::Opened)
        return Fail(strong::OpenStatusMessage(opened.status));
    std::cout << opened.mood;
    if (const int failed = FlushOutput())
        return failed;
    std::cerr << "velotan-cli: opened with " << whose[opened.keyIndex]
              << "; whoever holds that key could have written it\n";
    return 0;
}

int StrongKeyCommand(StrongKeyAction action, bool replace, const KeyStoreFinder& findStore) {
    std::optional<strong::StrongKey> imported;
    if (action == StrongKeyAction::Import) {
        imported = KeyFromInput();
        if (!imported)
            return 1;
    }
    const auto store = findStore();
    if (!store)
        return 1;
    // The edits read the ring themselves: it is read once.
    strong::StrongKeyRing ring;
    strong::RingResult result;
    if (action == StrongKeyAction::New) {
        result = strong::SaveNewOwnKey(*store, strong::NewStrongKey(), replace, ring);
        if (result.status == RingStatus::OwnKeyExists) {
            return Fail(strong::RingMessage(result) +
                        "\ngive --replace as well to make a new key; the old one is kept for "
                        "reading old posts");
        }
    } else if (action == StrongKeyAction::Import) {
        result = strong::SaveImportedOwnKey(*store, *imported, ring);
    } else {
        strong::LoadedRing loaded = strong::LoadKeyRing(*store);
        ring = std::move(loaded.ring);
        result = loaded.result;
    }
    if (result.status != RingStatus::Ok && result.status != RingStatus::Unchanged)
        return Fail(strong::RingMessage(result));
    if (!ring.own)
        return Fail(kNoOwnKey);
    std::cout << strong::KeyText(*ring.own) << "\n";
    return FlushOutput();
}

int FriendsCommand(std::string_view action, std::string_view name,
                   const KeyStoreFinder& findStore) {
    if (action == "list") {
        const auto ring = LoadRing(findStore);
        if (!ring)
            return 1;
        for (const strong::Friend& f : ring->friends)
            std::cout << f.name << "\n";
        return FlushOutput();
    }
    std::optional<strong::StrongKey> key;
    if (action == "add") {
        key = KeyFromInput();
        if (!key)
            return 1;
    }
    const auto store = findStore();
    if (!store)
        return 1;
    // The edits read the ring themselves: it is read once.
    strong::StrongKeyRing ring;
    const strong::RingResult result = action == "add"
                                          ? strong::SaveFriend(*store, name, *key, ring)
                                          : strong::SaveFriendRemoved(*store, name, ring);
    if (result.status == RingStatus::Unchanged) {
        std::cerr << "velotan-cli: 「" << name << "」 already has this key\n";
        return 0;
    }
    if (result.status != RingStatus::Ok)
        return Fail(strong::RingMessage(result));
    const std::string stored = strong::CleanFriendName(name).value_or(std::string(name));
    if (action == "add") {
        // A friend who had a key keeps it as an earlier one; a new friend has none.
        const auto added = std::find_if(ring.friends.begin(), ring.friends.end(),
                                        [&](const strong::Friend& f) { return f.name == stored; });
        std::cerr << "velotan-cli: "
                  << (added != ring.friends.end() && added->earlier.empty()
                          ? "added 「" + stored + "」"
                          : "「" + stored +
                                "」 has a new key; the earlier one still reads their "
                                "old posts")
                  << "\n";
    } else {
        std::cerr << "velotan-cli: removed 「" << stored
                  << "」; only a new key of your own (strong-key --new --replace) stops them from "
                     "reading your new posts\n";
    }
    return 0;
}

}  // namespace velotan::cli
