#pragma once

#include <functional>
#include <memory>

#include <QAction>
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include "ProgramFolder.h"
#include "ScriptedPrompter.h"
#include "TestFiles.h"
#include "frmQuiltmap.h"

// A main window in a program folder and Wine prefix of its own, asking its questions of a
// scripted prompter. Unless a test starts it itself, it is loaded past the first-start help.
class MainWindowFixture : public ::testing::Test {
protected:
    QTemporaryDir programDir, prefixDir;
    ScriptedPrompter prompter;
    std::unique_ptr<frmQuiltmap> window;

    virtual bool StartsAtSetUp() const { return true; }
    void SetUp() override
    {
        ASSERT_TRUE(programDir.isValid());
        OverrideProgramFolder(programDir.path());
        qputenv("WINEPREFIX", prefixDir.path().toUtf8());
        if (StartsAtSetUp()) {
            ASSERT_TRUE(WriteFile(IniFile(), "[SETUP]\r\nFIRST_TIME=False\r\n"));
            Start();
        }
    }
    void TearDown() override
    {
        if (window && window->isVisible()) window->close();
        window.reset();
        OverrideProgramFolder(QString());
    }
    void Start()
    {
        window = std::make_unique<frmQuiltmap>(&prompter);
        ASSERT_TRUE(window->Load());
    }
    QString IniFile() const { return programDir.filePath(ExecutableBaseName() + ".INI"); }
    template <typename T>
    T* Control(const char* name)
    {
        T* control = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    QAction* Action(const char* name) { return Control<QAction>(name); }
    // Triggers a menu item and runs `inside` on the modal dialog it opens; rejects the dialog
    // afterwards when it is still open.
    template <typename Dialog>
    void WhileModal(const char* menuItem, const std::function<void(Dialog&)>& inside)
    {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            seen = true;
            inside(*dialog);
            if (dialog->isVisible()) dialog->reject();
        });
        Action(menuItem)->trigger();
        EXPECT_TRUE(seen) << menuItem;
    }
};
