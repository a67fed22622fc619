// The key-file reader: any bytes in chat.mx, read by LoadKeys from a key
// store in a scratch folder. Keys change only when a valid line was found,
// and then they are the keys of the last valid line; a line composed from
// them reads back as the same pair.
//
// Input: the bytes of chat.mx.

#include "FuzzSupport.h"
#include "cipher/KeyFile.h"
#include "cipher/ModEncrypt.h"
#include "encoding/Cp936.h"
#include "platform/AnsiTextFile.h"

namespace {

using namespace velotan;

class SilentMessenger final : public platform::Messenger {
  public:
    platform::MsgResult MsgBox(const std::u16string&, int, const std::u16string&) override {
        return platform::MsgResult::Ok;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    static const auto root = [] {
        const auto folder = fuzz::ScratchFolder() / "store";
        fuzz::PutFolder(folder / "mxsw" / "encrypt");
        return folder;
    }();
    fuzz::PutFile(root / "mxsw" / "encrypt" / cipher::kKeyFileName, bytes);

    static SilentMessenger messenger;
    static cipher::ModEncrypt engine(fuzz::ScratchFolder(), messenger,
                                     [] { return platform::DriveMap(); });
    constexpr int16_t kOldFirst = 4242, kOldSecond = -4242;
    engine.FirstKey = kOldFirst;
    engine.SecondKey = kOldSecond;
    const std::string rootText = root.string();
    const cipher::LoadResult result =
        engine.LoadKeys(std::u16string(rootText.begin(), rootText.end()));

    std::vector<std::u16string> lines;
    for (const auto& line : platform::SplitLines(bytes))
        lines.push_back(encoding::FromCp936(line));
    const cipher::KeyFileScan scan = cipher::ParseKeyFile(lines);
    if (scan.keys) {
        FUZZ_CHECK(result == cipher::LoadResult::Loaded);
        FUZZ_CHECK(engine.FirstKey == scan.keys->first && engine.SecondKey == scan.keys->second);
        const auto again =
            cipher::ParseKeyFile({cipher::ComposeKeyLine(scan.keys->first, scan.keys->second)});
        FUZZ_CHECK(again.keys == scan.keys && again.skippedLines == 0);
    } else {
        FUZZ_CHECK(result != cipher::LoadResult::Loaded);
        FUZZ_CHECK(engine.FirstKey == kOldFirst && engine.SecondKey == kOldSecond);
    }
    return 0;
}
