// The key ring: edits in memory, its files, and what a failed write leaves.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/TempDir.h"
#include "common/WriteDenial.h"
#include "platform/AnsiTextFile.h"
#include "strong/StrongKeyRing.h"
#include "strong/StrongPost.h"

namespace {

using namespace velotan::strong;
using velotan::testing::ReadBytes;
using velotan::testing::ReadOnlyFolders;
using velotan::testing::TempDir;
using velotan::testing::WriteBytes;
namespace fs = std::filesystem;

StrongKey Key(unsigned char fill) {
    StrongKey key;
    key.bytes.fill(fill);
    return key;
}

// The ring of the examples: own key 1 (earlier 2), 小明 with 10 (earlier 11),
// 小红 with 20.
StrongKeyRing Sample() {
    StrongKeyRing ring;
    ring.own = Key(1);
    ring.ownEarlier = {Key(2)};
    ring.friends = {{"小明", Key(10), {Key(11)}}, {"小红", Key(20), {}}};
    return ring;
}

std::vector<StrongKey> KeysOf(const std::vector<Candidate>& candidates) {
    std::vector<StrongKey> keys;
    for (const Candidate& c : candidates)
        keys.push_back(c.key);
    return keys;
}

// Opens a post with every key of the ring: who wrote it, or nullopt.
std::optional<std::string> Reader(const StrongKeyRing& ring, const std::string& post) {
    const auto candidates = Candidates(ring);
    const OpenResult opened = OpenPost(post, KeysOf(candidates));
    if (opened.status != OpenStatus::Opened)
        return std::nullopt;
    const std::string& holder = candidates[opened.keyIndex].holder;
    return holder.empty() ? std::string(kSelfName) : holder;
}

TEST(StrongKeyRingTest, CandidatesComeOwnFirstThenEachFriend) {
    const auto c = Candidates(Sample());
    ASSERT_EQ(c.size(), 5u);
    EXPECT_EQ(KeysOf(c), (std::vector<StrongKey>{Key(1), Key(2), Key(10), Key(11), Key(20)}));
    EXPECT_EQ(c[0].holder, "");
    EXPECT_EQ(c[1].holder, "");
    EXPECT_EQ(c[3].holder, "小明");
    EXPECT_EQ(c[4].holder, "小红");
    EXPECT_EQ(HolderOf(Sample(), Key(2)), "自己");
    EXPECT_EQ(HolderOf(Sample(), Key(11)), "小明");
    EXPECT_EQ(HolderOf(Sample(), Key(99)), std::nullopt);
}

TEST(StrongKeyRingTest, OwnKeys) {
    StrongKeyRing ring;
    EXPECT_EQ(MakeOwnKey(ring, Key(1), false).status, RingStatus::Ok);
    EXPECT_EQ(ring.own, Key(1));
    // A second key only when asked for, and the first one stays as earlier.
    EXPECT_EQ(MakeOwnKey(ring, Key(2), false).status, RingStatus::OwnKeyExists);
    EXPECT_EQ(ring.own, Key(1));
    EXPECT_EQ(MakeOwnKey(ring, Key(2), true).status, RingStatus::Ok);
    EXPECT_EQ(ring.own, Key(2));
    EXPECT_EQ(ring.ownEarlier, std::vector<StrongKey>{Key(1)});
    // An import: the same key changes nothing, an earlier one comes back.
    EXPECT_EQ(ImportOwnKey(ring, Key(2)).status, RingStatus::Unchanged);
    EXPECT_EQ(ImportOwnKey(ring, Key(1)).status, RingStatus::Ok);
    EXPECT_EQ(ring.own, Key(1));
    EXPECT_EQ(ring.ownEarlier, std::vector<StrongKey>{Key(2)});
    EXPECT_EQ(ImportOwnKey(ring, Key(3)).status, RingStatus::Ok);
    EXPECT_EQ(ring.ownEarlier, (std::vector<StrongKey>{Key(1), Key(2)}));
}

TEST(StrongKeyRingTest, FriendsKeys) {
    StrongKeyRing ring = Sample();
    EXPECT_EQ(AddFriend(ring, "  小刚\u3000", Key(30)).status, RingStatus::Ok);
    EXPECT_EQ(ring.friends.back().name, "小刚");
    // A new key for 小明: the old current key becomes his newest earlier key.
    EXPECT_EQ(AddFriend(ring, "小明", Key(12)).status, RingStatus::Ok);
    EXPECT_EQ(ring.friends[0].current, Key(12));
    EXPECT_EQ(ring.friends[0].earlier, (std::vector<StrongKey>{Key(10), Key(11)}));
    EXPECT_EQ(AddFriend(ring, "小明", Key(12)).status, RingStatus::Unchanged);
    EXPECT_EQ(RemoveFriend(ring, "小红").status, RingStatus::Ok);
    EXPECT_EQ(ring.friends.size(), 2u);
    const RingResult gone = RemoveFriend(ring, "小红");
    EXPECT_EQ(gone.status, RingStatus::NoSuchFriend);
    EXPECT_NE(RingMessage(gone).find("小红"), std::string::npos);
}

struct Refusal {
    std::string name;
    std::function<RingResult(StrongKeyRing&)> edit;
    RingStatus status;
    std::string holder;
};

TEST(StrongKeyRingTest, AKeyHeldUnderAnotherNameIsRefusedNamingTheHolder) {
    const std::vector<Refusal> cases = {
        {"friend's current key to another friend",
         [](StrongKeyRing& r) { return AddFriend(r, "小红", Key(10)); }, RingStatus::HeldByOther,
         "小明"},
        {"friend's earlier key to a new friend",
         [](StrongKeyRing& r) { return AddFriend(r, "小刚", Key(11)); }, RingStatus::HeldByOther,
         "小明"},
        {"own key to a friend", [](StrongKeyRing& r) { return AddFriend(r, "小刚", Key(1)); },
         RingStatus::HeldByOther, "自己"},
        {"own earlier key to a friend",
         [](StrongKeyRing& r) { return AddFriend(r, "小刚", Key(2)); }, RingStatus::HeldByOther,
         "自己"},
        {"friend's key imported as own", [](StrongKeyRing& r) { return ImportOwnKey(r, Key(20)); },
         RingStatus::HeldByOther, "小红"},
        {"empty name", [](StrongKeyRing& r) { return AddFriend(r, " \u3000", Key(40)); },
         RingStatus::BadName, ""},
        {"line break in the name", [](StrongKeyRing& r) { return AddFriend(r, "小\n刚", Key(40)); },
         RingStatus::BadName, ""},
        {"control character", [](StrongKeyRing& r) { return AddFriend(r, "小\x01刚", Key(40)); },
         RingStatus::BadName, ""},
        {"not UTF-8", [](StrongKeyRing& r) { return AddFriend(r, "\xFF", Key(40)); },
         RingStatus::BadName, ""},
        {"a second key without replace",
         [](StrongKeyRing& r) { return MakeOwnKey(r, Key(40), false); }, RingStatus::OwnKeyExists,
         ""},
    };
    for (const Refusal& c : cases) {
        StrongKeyRing ring = Sample();
        const RingResult result = c.edit(ring);
        EXPECT_EQ(result.status, c.status) << c.name;
        EXPECT_EQ(result.name, c.holder) << c.name;
        if (!c.holder.empty()) {
            EXPECT_NE(RingMessage(result).find("「" + c.holder + "」"), std::string::npos)
                << c.name;
        }
        EXPECT_FALSE(RingMessage(result).empty()) << c.name;
        // Left as it was.
        EXPECT_EQ(FormatOwnKeys(ring), FormatOwnKeys(Sample())) << c.name;
        EXPECT_EQ(FormatFriends(ring), FormatFriends(Sample())) << c.name;
    }
}

TEST(StrongKeyRingTest, FilesReadBackAsWritten) {
    const StrongKeyRing ring = Sample();
    StrongKeyRing back;
    ASSERT_EQ(ParseOwnKeys(FormatOwnKeys(ring), back).status, RingStatus::Ok);
    ASSERT_EQ(ParseFriends(FormatFriends(ring), back).status, RingStatus::Ok);
    EXPECT_EQ(back.own, ring.own);
    EXPECT_EQ(back.ownEarlier, ring.ownEarlier);
    ASSERT_EQ(back.friends.size(), 2u);
    EXPECT_EQ(back.friends[0].name, "小明");
    EXPECT_EQ(back.friends[0].current, Key(10));
    EXPECT_EQ(back.friends[0].earlier, std::vector<StrongKey>{Key(11)});
    // The format of docs/strong-posts.md, CR LF and blank lines tolerated.
    const std::string k1 = KeyText(Key(1)), k10 = KeyText(Key(10));
    EXPECT_EQ(FormatOwnKeys(ring),
              "velotan strong keys 1\ncurrent " + k1 + "\nearlier " + KeyText(Key(2)) + "\n");
    StrongKeyRing crlf;
    ASSERT_EQ(ParseFriends("velotan friends 1\r\n\r\nfriend 小明\r\ncurrent " + k10 + "\r\n", crlf)
                  .status,
              RingStatus::Ok);
    EXPECT_EQ(crlf.friends.at(0).current, Key(10));
}

struct DamagedFile {
    std::string name;
    std::string text;
    bool friends;
};

TEST(StrongKeyRingTest, DamagedFilesAreRefused) {
    const std::string k1 = KeyText(Key(1));
    std::string changed = k1;
    changed[10] = changed[10] == 'A' ? 'B' : 'A';
    const std::vector<DamagedFile> cases = {
        {"no header", "current " + k1 + "\n", false},
        {"newer header", "velotan strong keys 2\ncurrent " + k1 + "\n", false},
        {"changed key", "velotan strong keys 1\ncurrent " + changed + "\n", false},
        {"two current keys", "velotan strong keys 1\ncurrent " + k1 + "\ncurrent " + k1 + "\n",
         false},
        {"unknown line", "velotan strong keys 1\ncurrent " + k1 + "\nhello\n", false},
        {"key before any friend", "velotan friends 1\ncurrent " + k1 + "\n", true},
        {"friend without a key", "velotan friends 1\nfriend 小明\n", true},
        {"friend without a key, then another",
         "velotan friends 1\nfriend 小明\nfriend 小红\ncurrent " + k1 + "\n", true},
        {"empty name", "velotan friends 1\nfriend  \ncurrent " + k1 + "\n", true},
    };
    for (const DamagedFile& c : cases) {
        StrongKeyRing ring = Sample();
        const RingResult result =
            c.friends ? ParseFriends(c.text, ring) : ParseOwnKeys(c.text, ring);
        EXPECT_EQ(result.status, RingStatus::Damaged) << c.name;
        EXPECT_NE(result.detail.find(c.friends ? "friends.mx" : "strong.mx"), std::string::npos)
            << c.name;
        EXPECT_EQ(FormatFriends(ring), FormatFriends(Sample())) << c.name;
        EXPECT_EQ(FormatOwnKeys(ring), FormatOwnKeys(Sample())) << c.name;
    }
    StrongKeyRing empty = Sample();
    EXPECT_EQ(ParseFriends("", empty).status, RingStatus::Ok);
    EXPECT_TRUE(empty.friends.empty());
}

class KeyRingFilesTest : public ::testing::Test {
  protected:
    KeyRingFilesTest() { fs::create_directories(store_); }
    ~KeyRingFilesTest() override { velotan::platform::SetAtomicWriteProbe({}); }
    TempDir tmp_;
    fs::path store_ = tmp_.path() / "mxsw" / "encrypt";
};

TEST_F(KeyRingFilesTest, NoFilesIsAnEmptyRing) {
    const LoadedRing loaded = LoadKeyRing(store_);
    EXPECT_EQ(loaded.result.status, RingStatus::Ok);
    EXPECT_FALSE(loaded.ring.own);
    EXPECT_TRUE(loaded.ring.friends.empty());
    EXPECT_EQ(LoadKeyRing({}).result.status, RingStatus::NoKeyStore);
}

TEST_F(KeyRingFilesTest, KeyFilesAreForTheUsersEyesOnly) {
    StrongKeyRing ring;
    ASSERT_EQ(SaveNewOwnKey(store_, Key(1), false, ring).status, RingStatus::Ok);
    ASSERT_EQ(SaveFriend(store_, "小明", Key(10), ring).status, RingStatus::Ok);
    for (const char* name : {kOwnKeysFileName, kFriendsFileName}) {
        struct stat st {};
        ASSERT_EQ(::stat((store_ / name).c_str(), &st), 0) << name;
        EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
    }
    const LoadedRing loaded = LoadKeyRing(store_);
    ASSERT_EQ(loaded.result.status, RingStatus::Ok);
    EXPECT_EQ(loaded.ring.own, Key(1));
    ASSERT_EQ(loaded.ring.friends.size(), 1u);
    EXPECT_EQ(loaded.ring.friends[0].name, "小明");
    // Each edit writes only its own file.
    const std::string friends = ReadBytes(store_ / kFriendsFileName);
    ASSERT_EQ(SaveNewOwnKey(store_, Key(2), true, ring).status, RingStatus::Ok);
    EXPECT_EQ(ReadBytes(store_ / kFriendsFileName), friends);
    EXPECT_EQ(ring.own, Key(2));
}

TEST_F(KeyRingFilesTest, EditsAreRefusedAsInMemory) {
    StrongKeyRing ring;
    ASSERT_EQ(SaveNewOwnKey(store_, Key(1), false, ring).status, RingStatus::Ok);
    const std::string own = ReadBytes(store_ / kOwnKeysFileName);
    EXPECT_EQ(SaveNewOwnKey(store_, Key(2), false, ring).status, RingStatus::OwnKeyExists);
    const RingResult held = SaveFriend(store_, "小明", Key(1), ring);
    EXPECT_EQ(held.status, RingStatus::HeldByOther);
    EXPECT_EQ(held.name, "自己");
    EXPECT_EQ(SaveFriendRemoved(store_, "小明", ring).status, RingStatus::NoSuchFriend);
    EXPECT_EQ(ReadBytes(store_ / kOwnKeysFileName), own);
    EXPECT_FALSE(fs::exists(store_ / kFriendsFileName));
    EXPECT_EQ(ring.own, Key(1));
}

TEST_F(KeyRingFilesTest, AFailedWriteOfTheFriendsFileLosesNoFriend) {
    StrongKeyRing ring;
    ASSERT_EQ(SaveFriend(store_, "小明", Key(10), ring).status, RingStatus::Ok);
    ASSERT_EQ(SaveFriend(store_, "小红", Key(20), ring).status, RingStatus::Ok);
    const std::string before = ReadBytes(store_ / kFriendsFileName);
    // The write stops just before the new file would replace the old one, as
    // a pulled stick or a full disk would stop it.
    velotan::platform::SetAtomicWriteProbe([](const fs::path&) { return false; });
    for (const auto& edit : std::vector<std::function<RingResult()>>{
             [&] { return SaveFriendRemoved(store_, "小明", ring); },
             [&] { return SaveFriend(store_, "小刚", Key(30), ring); },
             [&] { return SaveFriend(store_, "小红", Key(21), ring); }}) {
        const RingResult result = edit();
        EXPECT_EQ(result.status, RingStatus::WriteFailed);
        EXPECT_NE(RingMessage(result).find("friends.mx"), std::string::npos);
        EXPECT_EQ(ReadBytes(store_ / kFriendsFileName), before);
        ASSERT_EQ(ring.friends.size(), 2u);
        EXPECT_EQ(ring.friends[1].current, Key(20));
    }
    velotan::platform::SetAtomicWriteProbe({});
    EXPECT_EQ(LoadKeyRing(store_).ring.friends.size(), 2u);
}

TEST_F(KeyRingFilesTest, AReadOnlyKeyStoreLosesNoFriend) {
    StrongKeyRing ring;
    ASSERT_EQ(SaveFriend(store_, "小明", Key(10), ring).status, RingStatus::Ok);
    const std::string before = ReadBytes(store_ / kFriendsFileName);
    {
        ReadOnlyFolders readOnly(tmp_.path(), {store_});
        if (!readOnly.Active())
            GTEST_SKIP() << velotan::testing::kReadOnlyStopsNothing;
        EXPECT_EQ(SaveFriendRemoved(store_, "小明", ring).status, RingStatus::WriteFailed);
        EXPECT_EQ(SaveFriend(store_, "小红", Key(20), ring).status, RingStatus::WriteFailed);
        EXPECT_EQ(ring.friends.size(), 1u);
        EXPECT_EQ(LoadKeyRing(store_).ring.friends.size(), 1u);
    }
    EXPECT_EQ(ReadBytes(store_ / kFriendsFileName), before);
}

TEST_F(KeyRingFilesTest, ADamagedFileIsNeverWrittenOver) {
    WriteBytes(store_ / kFriendsFileName, "velotan friends 1\nfriend 小明\ncurrent QLK1:broken\n");
    const std::string before = ReadBytes(store_ / kFriendsFileName);
    StrongKeyRing ring;
    EXPECT_EQ(LoadKeyRing(store_).result.status, RingStatus::Damaged);
    const RingResult result = SaveFriend(store_, "小红", Key(20), ring);
    EXPECT_EQ(result.status, RingStatus::Damaged);
    EXPECT_NE(RingMessage(result).find("friends.mx 第 3 行"), std::string::npos);
    EXPECT_EQ(SaveNewOwnKey(store_, Key(1), false, ring).status, RingStatus::Damaged);
    EXPECT_EQ(ReadBytes(store_ / kFriendsFileName), before);
    EXPECT_FALSE(fs::exists(store_ / kOwnKeysFileName));
}

TEST(StrongKeyRingTest, ReadingWithSeveralFriendsNamesTheRightOne) {
    StrongKeyRing ring;
    MakeOwnKey(ring, NewStrongKey(), false);
    const std::vector<std::string> names = {"小明", "小红", "小刚", "Alice", "老王"};
    std::vector<StrongKey> keys;
    for (const std::string& name : names) {
        keys.push_back(NewStrongKey());
        ASSERT_EQ(AddFriend(ring, name, keys.back()).status, RingStatus::Ok);
    }
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(Reader(ring, *SealPost(keys[i], "来自" + names[i])), names[i]);
    EXPECT_EQ(Reader(ring, *SealPost(*ring.own, "自己写的")), "自己");
    EXPECT_EQ(Reader(ring, *SealPost(NewStrongKey(), "陌生人")), std::nullopt);
}

TEST(StrongKeyRingTest, NewKeysKeepOldPostsReadable) {
    StrongKeyRing ring;
    MakeOwnKey(ring, NewStrongKey(), false);
    const std::string ownOld = *SealPost(*ring.own, "旧的");
    const StrongKey friendOld = NewStrongKey();
    AddFriend(ring, "小明", friendOld);
    const std::string friendPost = *SealPost(friendOld, "小明的旧心情");

    ASSERT_EQ(MakeOwnKey(ring, NewStrongKey(), true).status, RingStatus::Ok);
    const StrongKey friendNew = NewStrongKey();
    ASSERT_EQ(AddFriend(ring, "小明", friendNew).status, RingStatus::Ok);
    EXPECT_EQ(Reader(ring, ownOld), "自己");
    EXPECT_EQ(Reader(ring, friendPost), "小明");
    EXPECT_EQ(Reader(ring, *SealPost(friendNew, "新的")), "小明");
    EXPECT_EQ(Reader(ring, *SealPost(*ring.own, "新的")), "自己");
}

}  // namespace
