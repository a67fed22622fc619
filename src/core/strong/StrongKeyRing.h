#pragma once
// The strong keys a user holds: their own, current and earlier, and their
// friends' keys, each friend with a name and their current and earlier keys.
// Earlier keys stay so that a new key never makes an old post unreadable.
//
// The ring lives in the key store beside chat.mx, in two files written
// atomically with mode 0600:
//   strong.mx   the user's own keys
//   friends.mx  the friends
// Their format is in docs/strong-posts.md. A failed write changes nothing,
// neither on disk nor in the ring the caller holds.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "strong/StrongKey.h"

namespace velotan::strong {

inline constexpr const char* kOwnKeysFileName = "strong.mx";
inline constexpr const char* kFriendsFileName = "friends.mx";
// The holder name the windows and velotan-cli show for the user's own keys.
inline constexpr std::string_view kSelfName = "自己";

struct Friend {
    std::string name;  // UTF-8, trimmed, never empty, no line breaks
    StrongKey current;
    std::vector<StrongKey> earlier;  // newest first
};

struct StrongKeyRing {
    std::optional<StrongKey> own;
    std::vector<StrongKey> ownEarlier;  // newest first
    std::vector<Friend> friends;        // in the order they were added
};

// Every key the user holds, in the order a post is tried with them: the
// user's current key, their earlier keys, then each friend's current and
// earlier keys.
struct Candidate {
    StrongKey key;
    std::string holder;  // the friend's name; empty for the user's own keys
};
std::vector<Candidate> Candidates(const StrongKeyRing& ring);

// The name a key is held under: kSelfName for one of the user's own, the
// friend's name, or nullopt when nobody in the ring holds it.
std::optional<std::string> HolderOf(const StrongKeyRing& ring, const StrongKey& key);

enum class RingStatus {
    Ok,
    Unchanged,     // the key was already there as asked: nothing to write
    OwnKeyExists,  // MakeOwnKey without replace while a key exists
    NoOwnKey,      // the user has no key yet
    HeldByOther,   // the key is held under another name (see `holder`)
    BadName,       // empty, or has a line break or control character
    NoSuchFriend,  // RemoveFriend with a name nobody has
    Unreadable,    // a key file exists but cannot be read
    Damaged,       // a key file holds something that is not a key ring
    WriteFailed,   // the file could not be written: nothing changed
    NoKeyStore,    // no key store folder is known
};

struct RingResult {
    RingStatus status = RingStatus::Ok;
    std::string name;    // HeldByOther: who holds the key; NoSuchFriend: the name asked for
    std::string detail;  // Unreadable, Damaged, WriteFailed: the file and why
};

// Chinese, for the windows and velotan-cli (names the holder, the file and
// the reason where there is one); empty for Ok and Unchanged.
std::string RingMessage(const RingResult& result);

// --- Edits of a ring in memory. On refusal the ring is left as it was. ---

// A new own key; the current one, if any, becomes the newest earlier key.
// Refused with OwnKeyExists when a key exists and `replace` is false.
RingResult MakeOwnKey(StrongKeyRing& ring, const StrongKey& fresh, bool replace);
// Takes over a key of the user's own (a new stick, a paper copy): it becomes
// current, the old current key becomes earlier. Refused when a friend holds it.
RingResult ImportOwnKey(StrongKeyRing& ring, const StrongKey& key);
// A new friend, or a new key for a friend of that name (whose current key
// becomes earlier). Refused when the user or another friend holds the key.
RingResult AddFriend(StrongKeyRing& ring, std::string_view name, const StrongKey& key);
RingResult RemoveFriend(StrongKeyRing& ring, std::string_view name);

// The name as it is stored: blanks around it dropped. nullopt when nothing
// is left or it holds a line break or another control character.
std::optional<std::string> CleanFriendName(std::string_view name);

// --- The two files' text (no file I/O; docs/strong-posts.md) ---

std::string FormatOwnKeys(const StrongKeyRing& ring);
std::string FormatFriends(const StrongKeyRing& ring);
// Fill the own or the friends' part of `ring`; Damaged with the line in
// `detail` when the text is not such a file.
RingResult ParseOwnKeys(std::string_view text, StrongKeyRing& ring);
RingResult ParseFriends(std::string_view text, StrongKeyRing& ring);

// --- The files in a key store folder (the folder of chat.mx) ---

// Missing files are an empty ring, not an error.
struct LoadedRing {
    StrongKeyRing ring;
    RingResult result;
};
LoadedRing LoadKeyRing(const std::filesystem::path& keyStoreFolder);

// Each writes only the file the edit concerns, after reading both afresh
// (so that an edit never writes over a file it could not read). `ring`
// receives the ring after the edit, or as it is on disk when the edit is
// refused or the write fails.
RingResult SaveNewOwnKey(const std::filesystem::path& keyStoreFolder, const StrongKey& fresh,
                         bool replace, StrongKeyRing& ring);
RingResult SaveImportedOwnKey(const std::filesystem::path& keyStoreFolder, const StrongKey& key,
                              StrongKeyRing& ring);
RingResult SaveFriend(const std::filesystem::path& keyStoreFolder, std::string_view name,
                      const StrongKey& key, StrongKeyRing& ring);
RingResult SaveFriendRemoved(const std::filesystem::path& keyStoreFolder, std::string_view name,
                             StrongKeyRing& ring);

}  // namespace velotan::strong
