#pragma once
// The application with the secondary windows plugged in, and the main window
// open beside them, as the program runs.

#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "AppFixture.h"
#include "app/Form1.h"
#include "app/TextBox.h"
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

    QPointer<app::Form1> main_;
    std::vector<std::string> urls_;
    bool openUrls_ = true;
};

}  // namespace velotan::windows::test
