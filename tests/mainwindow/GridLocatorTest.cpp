#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "MapMaker.h"
#include "ProgramFolder.h"
#include "ScriptedPrompter.h"
#include "TestFiles.h"
#include "frmGridLocator.h"
#include "MainWindowFixture.h"
#include "frmQuiltmap.h"

namespace {

using Kind = ScriptedPrompter::Kind;

class GridLocatorTest : public MainWindowFixture {
protected:
    template <typename T>
    T* Control(const char* name)
    {
        T* control = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    QString Text(const char* name) { return Control<QLineEdit>(name)->text(); }
};

// Through the menu: the dialog takes any case and writes the centre in the fields' normal form.
TEST_F(GridLocatorTest, MenuDialogWritesTheSquaresCentre)
{
    WhileModal<frmGridLocator>("mnuGridLocator", [](frmGridLocator& dialog) {
        dialog.findChild<QLineEdit*>("txtLocator")->setText("CN87UO");
        QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    EXPECT_EQ(Text("txtLat"), "47.36.25");
    EXPECT_EQ(Text("txtLong"), "122.17.50");
    EXPECT_EQ(Text("txtDesc"), "CN87uo");
    EXPECT_EQ(Control<QLabel>("labLocator")->text(), "Locator CN87uo");
    EXPECT_TRUE(prompter.Log.empty());
}

// A refused locator is said and keeps the dialog open; the fields stay as they were.
TEST_F(GridLocatorTest, RefusedLocatorKeepsTheDialogOpen)
{
    Control<QLineEdit>("txtLat")->setText("47.00.00");
    bool stillOpen = false;
    WhileModal<frmGridLocator>("mnuGridLocator", [&](frmGridLocator& dialog) {
        dialog.findChild<QLineEdit*>("txtLocator")->setText("jj00");
        dialog.accept();
        stillOpen = dialog.isVisible();
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(Text("txtLat"), "47.00.00");
    const auto told = prompter.Texts(Kind::Inform);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(told[0].contains("JJ00 lies east of Greenwich")) << told[0].toStdString();
    EXPECT_FALSE(window->ApplyGridLocator("CN87x", false));
    EXPECT_TRUE(prompter.Texts(Kind::Inform).back().contains("is not a grid locator"));
}

TEST_F(GridLocatorTest, CornerOrFittedCentre)
{
    Control<QRadioButton>("optCorner")->setChecked(true);
    Control<QLineEdit>("txtDesc")->setText("Kept");
    ASSERT_TRUE(window->ApplyGridLocator("FN31pr47", false));
    EXPECT_EQ(Text("txtLat"), "41.44.25");
    EXPECT_EQ(Text("txtLong"), "072.43.00");
    EXPECT_TRUE(Control<QRadioButton>("optCorner")->isChecked());
    EXPECT_EQ(Text("txtDesc"), "Kept");

    // A 2 x 1 degree square near 48 N needs 128 m a pixel (see the locator tests).
    ASSERT_TRUE(window->ApplyGridLocator("cn87", true));
    EXPECT_EQ(Text("txtLat"), "47.30.00");
    EXPECT_EQ(Text("txtLong"), "123.00.00");
    EXPECT_TRUE(Control<QRadioButton>("optCentre")->isChecked());
    EXPECT_EQ(Control<QComboBox>("cmbScale")->currentText(), "128 metres/pixel");
    EXPECT_EQ(Control<QComboBox>("cmbWidth")->currentText(), "1400 pixels");
    EXPECT_EQ(Control<QComboBox>("cmbHeight")->currentText(), "1000 pixels");
    EXPECT_EQ(Control<QLabel>("labLocator")->text(), "Locator CN87mm");
    EXPECT_TRUE(prompter.Log.empty());

    ASSERT_TRUE(window->ApplyGridLocator("AR09", true));   // beyond the grid's northern limit
    EXPECT_TRUE(prompter.Texts(Kind::Inform).at(0).startsWith("No map size and resolution covers"));
}

TEST_F(GridLocatorTest, StatusLocatorNeedsBothFieldsValid)
{
    auto* locator = Control<QLabel>("labLocator");
    Control<QLineEdit>("txtLat")->setText("47.36.37");
    EXPECT_EQ(locator->text(), "");
    Control<QLineEdit>("txtLong")->setText("122.21.07");
    EXPECT_EQ(locator->text(), "Locator CN87to");
    Control<QLineEdit>("txtLong")->setText("181");
    EXPECT_EQ(locator->text(), "");
}

// The GIS files choice is stored at once and comes back at the next start.
TEST_F(GridLocatorTest, GisFilesChoiceIsStored)
{
    QAction* gis = window->findChild<QAction*>("mnuGisFiles");
    ASSERT_NE(gis, nullptr);
    EXPECT_FALSE(gis->isChecked());
    EXPECT_FALSE(window->Maker().GisFiles());
    gis->trigger();
    EXPECT_TRUE(window->Maker().GisFiles());
    EXPECT_TRUE(ReadFile(programDir.path() + "/" + ExecutableBaseName() + ".INI").contains("GIS_FILES=True"));
    window->close();
    Start();
    EXPECT_TRUE(window->findChild<QAction*>("mnuGisFiles")->isChecked());
    EXPECT_TRUE(window->Maker().GisFiles());
}

}  // namespace
