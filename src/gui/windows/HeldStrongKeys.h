#pragma once
// The strong keys the user holds, as the windows read them from the key
// store beside chat.mx, and the UTF-8 the strong library speaks turned into
// the QStrings the windows show.

#include <QString>
#include <filesystem>
#include <optional>
#include <string>

#include "strong/StrongKeyRing.h"

namespace velotan::app {
class App;
}

namespace velotan::windows {

struct HeldStrongKeys {
    strong::StrongKeyRing ring;
    // The key store's folder; nullopt when no key store is known or its
    // stick is not there.
    std::optional<std::filesystem::path> folder;
    // Why the keys could not be read (the user has not been told); empty
    // when they were read, or when there is simply none yet.
    QString problem;
};

// Says where the keys would be and why there is no key store.
inline constexpr const char16_t* kNoKeyStoreMessage =
    u"没有找到密钥存放位置：请插入保存密钥的U盘，或在“多项设置”里用“给密钥挪地”选一个文件夹。";

HeldStrongKeys LoadHeldStrongKeys(app::App& app);

// The strong library's UTF-8 texts and back.
inline QString FromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}
inline std::string ToUtf8(const QString& text) {
    return text.toStdString();
}

}  // namespace velotan::windows
