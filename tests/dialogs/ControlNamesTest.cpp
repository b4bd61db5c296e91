// Every control and command of the dialogs carries its established name,
// which the main window, the translations and these tests rely on.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

#include "AboutDialog.h"
#include "Analyze.h"
#include "OptionsDialog.h"
#include "ProfileProps.h"
#include "Registry.h"
#include "WizardDialog.h"

namespace {

void ExpectNames(const QObject& form, const QStringList& names) {
  for (const QString& name : names)
    EXPECT_TRUE(form.findChild<QObject*>(name) != nullptr)
        << form.objectName().toStdString() << " has no " << name.toStdString();
}

TEST(ControlNames, ProfileProperties) {
  TProfilePropsForm form;
  ExpectNames(form, {"PC", "tabProfile", "edProfileName", "comboPosition", "tabIncluded", "lvFiles",
                     "btnAddFile", "btnAddDir", "btnDelete", "btnDeleteAll", "btnRescan", "Label4",
                     "popupFiles", "tabScheduler", "cbSchedulerActive", "gbSchedulerParams",
                     "dtpSchedulerStart", "Label1", "cb1", "cb2", "cb3", "cb4", "cb5", "cb6", "cb7",
                     "bCheckAll", "bResetAll", "btnOK", "btnCancel", "actDelete", "actSelectAll",
                     "actDeleteAll", "actAddDir", "actAddFile", "actRescan"});
  QStringList menu;
  for (QAction* a : form.findChild<QMenu*>("popupFiles")->actions()) menu << a->objectName();
  EXPECT_EQ(menu, (QStringList{"actAddFile", "actAddDir", "actDelete", "actSelectAll", "actDeleteAll"}));
}

TEST(ControlNames, Options) {
  TformOptions form;
  ExpectNames(form, {"PageControl1", "tabGeneral", "cbStartup", "cbMinimizeOnStart", "cbMinimizeOnClose",
                     "cbContextMenu", "cbAnimateIcon", "cbShowScheduler", "tabConfirmations",
                     "cbConfirmExit", "tabLog", "cbLogLevel", "lblLogLevel", "seMaxLog", "lblMaxLines",
                     "btnOK", "btnCancel"});
}

TEST(ControlNames, Wizard) {
  const std::unique_ptr<plat::UserRegistry> registry = plat::MakeUserRegistry();
  TWizardForm form({}, *registry);
  ExpectNames(form, {"GroupBox3", "clbProfiles", "btnCheckAll", "btnUncheckAll", "btnDefault",
                     "lblDescription", "btnOK", "btnCancel"});
}

TEST(ControlNames, AnalyzeDisk) {
  TFileRegionList list;
  TformAnalyze form(list);
  ExpectNames(form, {"gbWorkspace", "edtPath", "lblDisk", "btnSelect", "seMinFragments", "lblFragments",
                     "seMinSize", "lblFileSizeGreaterThan", "cbMinSizePoints", "Bevel1", "btnAnalyze",
                     "btnStop", "lvFiles", "aniFind", "lblFound", "lblFoundValue", "lblStatus",
                     "lblStatusValue", "btnDefragment", "btnCancel", "popupContextMenu", "actAnalyze",
                     "actDefragment", "actStop", "actSelectDir", "actSelect", "actReset", "actSelectAll",
                     "actUnselectAll"});
  QStringList menu;
  for (QAction* a : form.findChild<QMenu*>("popupContextMenu")->actions()) menu << a->objectName();
  EXPECT_EQ(menu, (QStringList{"actSelect", "actReset", "actSelectAll", "actUnselectAll"}));
}

TEST(ControlNames, About) {
  TAboutForm form;
  ExpectNames(form, {"boxForm", "imgLogo", "lblAppName", "lblBuild", "boxCopyright", "lblCopyright",
                     "lblAuthors", "lblURL", "lblMail", "lblAck", "Acks", "btnOK"});
}

}  // namespace
