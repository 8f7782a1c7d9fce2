// A real window with its own program folder, a launch list in it, and message boxes answered
// by the test.
#pragma once

#include "app/design.h"
#include "app/frmMain.h"
#include "app/module.h"
#include "platform/qt/host.h"
#include "platform/qt/window.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace pikorina::qt::test {

struct Box {
    std::string text;
    int style;
    std::string title;
};

class QtWindow : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        Module::launchNames.clear();
        Module::launchCommands.clear();
        Window::msgBoxSeam = [this](std::string_view text, int style, std::string_view title) {
            boxes.push_back({std::string(text), style, std::string(title)});
            return answer;
        };
    }
    void TearDown() override { Window::msgBoxSeam = nullptr; }

    QString Path(const QString& name) const { return dir.filePath(name); }
    void WriteFile(const QString& name, const QByteArray& bytes) const {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // A program that writes its arguments, one a line, into a marker file.
    QString MarkerProgram() const {
        WriteFile("mark", "#!/bin/sh\nout=\"$1\"; shift\nprintf '%s\\n' \"$@\" > \"$out.tmp\" && "
                          "mv \"$out.tmp\" \"$out\"\n");
        QFile::setPermissions(Path("mark"), QFile::ReadOwner | QFile::ExeOwner | QFile::WriteOwner);
        return Path("mark");
    }
    // The host, window and form over this folder, not yet loaded.
    void Create() {
        host = std::make_unique<Host>(dir.path());
        window = std::make_unique<Window>(*host);
        form = std::make_unique<frmMain>(*window, *host);
    }
    // Creates the window from this folder and runs its load, as the program does.
    void Start(const QByteArray& setupIni, bool show = true) {
        WriteFile("Setup.ini", setupIni);
        Create();
        if (show) {
            window->Start(*form);
            ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        } else {
            window->Attach(*form);
            form->Raise(&frmMain::Form_Load);
        }
    }
    // The marker's lines once it appears, or nothing after a generous deadline.
    std::optional<QStringList> WaitForMarker(const QString& name, int ms = 5000) const {
        QFile f(Path(name));
        if (!QTest::qWaitFor([&] { return f.exists(); }, ms)) return std::nullopt;
        if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    QWidget* Child(const char* name) const { return window->findChild<QWidget*>(name); }
    QImage Grab() const { return window->grab().toImage(); }
    QPoint Centre(ControlId id) const { return window->ControlRect(id).center(); }

    QTemporaryDir dir;
    std::unique_ptr<Host> host;
    std::unique_ptr<Window> window;
    std::unique_ptr<frmMain> form;
    std::vector<Box> boxes;
    int answer = kAnswerOk;
};

} // namespace pikorina::qt::test
