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

// A main window loaded in a program folder and Wine prefix of its own, without the first-start
// help, asking its questions of a scripted prompter.
class MainWindowFixture : public ::testing::Test {
protected:
    QTemporaryDir programDir;
    QTemporaryDir prefixDir;
    ScriptedPrompter prompter;
    std::unique_ptr<frmQuiltmap> window;

    void SetUp() override
    {
        ASSERT_TRUE(programDir.isValid());
        OverrideProgramFolder(programDir.path());
        qputenv("WINEPREFIX", prefixDir.path().toUtf8());
        ASSERT_TRUE(WriteFile(programDir.path() + "/" + ExecutableBaseName() + ".INI", "[SETUP]\r\nFIRST_TIME=False\r\n"));
        Start();
    }
    void TearDown() override
    {
        window.reset();
        OverrideProgramFolder(QString());
    }
    void Start()
    {
        window = std::make_unique<frmQuiltmap>(&prompter);
        ASSERT_TRUE(window->Load());
    }
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
            if (dialog->isVisible())
                dialog->reject();
        });
        window->findChild<QAction*>(menuItem)->trigger();
        EXPECT_TRUE(seen) << menuItem;
    }
};
