#include "ScriptedDialogs.h"

namespace velotan::app::test {

std::vector<Asked> ScriptedDialogs::Messages() const {
    std::vector<Asked> out;
    for (const auto& a : asked) {
        if (a.kind == "msgbox")
            out.push_back(a);
    }
    return out;
}

platform::MsgResult ScriptedDialogs::MsgBox(const std::u16string& prompt, int style,
                                            const std::u16string& title) {
    Asked a{
        "msgbox", QString::fromStdU16String(prompt), QString::fromStdU16String(title), style, {}};
    asked.push_back(a);
    if (onMessage)
        onMessage(a);
    return Take(msgAnswers, platform::MsgResult::Ok);
}

std::optional<QString> ScriptedDialogs::InputBox(const QString& prompt, const QString& title,
                                                 const QString&) {
    asked.push_back({"input", prompt, title, 0, {}});
    return Take<std::optional<QString>>(inputAnswers, std::nullopt);
}

QString ScriptedDialogs::ShowOpen(const FileDialogRequest& request) {
    asked.push_back({"open", request.title, request.title, 0, request});
    return Take(fileAnswers, QString());
}

QString ScriptedDialogs::ShowSave(const FileDialogRequest& request) {
    asked.push_back({"save", request.title, request.title, 0, request});
    return Take(fileAnswers, QString());
}

std::optional<FontChoice> ScriptedDialogs::ShowFont(const FontChoice&) {
    asked.push_back({"font", {}, {}, 0, {}});
    return Take<std::optional<FontChoice>>(fontAnswers, std::nullopt);
}

std::optional<int32_t> ScriptedDialogs::ShowColor(int32_t) {
    asked.push_back({"color", {}, {}, 0, {}});
    return Take<std::optional<int32_t>>(colorAnswers, std::nullopt);
}

}  // namespace velotan::app::test
