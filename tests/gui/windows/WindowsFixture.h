#pragma once
// The application with the secondary windows plugged in, and the main window
// open beside them, as the program runs.

#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "AppFixture.h"
#include "app/Form1.h"
#include "app/TextBox.h"
#include "strong/StrongKeyRing.h"
#include "windows/WindowOpeners.h"

namespace velotan::windows::test {

using app::test::Find;
using app::test::ProcessEvents;
using app::test::QPath;
using app::test::ReadBytes;
using app::test::WriteBytes;

class WindowsFixture : public app::test::AppFixture {
  protected:
    // The program's App with every opener registered and URLs recorded.
    app::App& StartApp() {
        MakeApp();
        RegisterWindowOpeners(*app_);
        app_->SetUrlOpener([this](const std::string& url) {
            urls_.push_back(url);
            return openUrls_;
        });
        return *app_;
    }
    app::Form1* Main() {
        if (!app_)
            StartApp();
        main_ = app_->ShowMainWindow();
        return main_;
    }
    app::TextBox* Editor() { return Main()->txtText1; }
    // The open window of that name, if there is one.
    template <typename Window>
    static Window* OpenWindow(const char* name) {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* window = qobject_cast<Window*>(widget);
            if (window && window->objectName() == QLatin1String(name) && window->isVisible() &&
                !window->Unloaded())
                return window;
        }
        return nullptr;
    }
    static void Click(QWidget* window, const char* name) {
        auto* button = Find<QPushButton>(window, name);
        ASSERT_NE(button, nullptr) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // The strong keys in the configured key store, beside chat.mx.
    std::filesystem::path StrongFolder() const { return Store() / "mxsw" / "encrypt"; }
    strong::StrongKeyRing StoredRing() const { return strong::LoadKeyRing(StrongFolder()).ring; }
    // A new own strong key, written to the key store; returns it.
    strong::StrongKey GiveOwnStrongKey() {
        std::filesystem::create_directories(StrongFolder());
        strong::StrongKeyRing ring;
        const strong::StrongKey key = strong::NewStrongKey();
        EXPECT_EQ(strong::SaveNewOwnKey(StrongFolder(), key, true, ring).status,
                  strong::RingStatus::Ok);
        return key;
    }
    // A friend with a new key of their own; returns the friend's key.
    strong::StrongKey GiveFriend(const std::string& name) {
        std::filesystem::create_directories(StrongFolder());
        strong::StrongKeyRing ring;
        const strong::StrongKey key = strong::NewStrongKey();
        EXPECT_EQ(strong::SaveFriend(StrongFolder(), name, key, ring).status,
                  strong::RingStatus::Ok);
        return key;
    }

    QPointer<app::Form1> main_;
    std::vector<std::string> urls_;
    bool openUrls_ = true;
};

}  // namespace velotan::windows::test
