#include <gtest/gtest.h>

#include <tuple>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

#include "DialogTestSupport.h"
#include "Dialogs.h"
#include "OptionsDialog.h"
#include "ShellEntries.h"

using dlgtest::Child;

namespace {

auto Fields(const TOptions& o) {
  return std::tuple(o.Startup, o.MinimizeOnStartup, o.MinimizeOnClose, o.AnimateTray, o.ContextMenu,
                    o.ConfirmExit, o.Language, o.LogLevel, o.LogMaxLines, o.ShowLogWindow,
                    o.ShowSchedule);
}

TEST(OptionsDialog, OpensOnGeneralWithTheLineLimitFollowingTheLogLevel) {
  TOptions options;
  options.LogLevel = 0;
  options.LogMaxLines = 500;
  TformOptions form;
  form.LoadFrom(options);
  form.show();
  EXPECT_EQ(form.windowTitle(), "Options");
  EXPECT_EQ(Child<QTabWidget>(&form, "PageControl1")->currentIndex(), 0);
  EXPECT_EQ(form.focusWidget(), Child<QPushButton>(&form, "btnOK"));
  EXPECT_EQ(form.minimumSize(), form.maximumSize());  // not resizable

  auto* level = Child<QComboBox>(&form, "cbLogLevel");
  auto* maxLines = Child<QSpinBox>(&form, "seMaxLog");
  EXPECT_EQ(level->currentText(), "None");
  EXPECT_FALSE(maxLines->isEnabled());
  EXPECT_TRUE(Child<QLabel>(&form, "lblMaxLines")->isEnabled());
  level->setCurrentIndex(1);
  EXPECT_EQ(level->currentText(), "Short");
  EXPECT_TRUE(maxLines->isEnabled());
  level->setCurrentIndex(0);
  EXPECT_FALSE(maxLines->isEnabled());

  // A disabled limit keeps its value and is stored all the same.
  maxLines->setValue(1234);
  form.StoreTo(options);
  EXPECT_EQ(options.LogMaxLines, 1234);
}

TEST(OptionsDialog, EachControlStoresItsOwnOption) {
  const std::pair<const char*, bool TOptions::*> checks[] = {
      {"cbStartup", &TOptions::Startup},
      {"cbMinimizeOnStart", &TOptions::MinimizeOnStartup},
      {"cbMinimizeOnClose", &TOptions::MinimizeOnClose},
      {"cbContextMenu", &TOptions::ContextMenu},
      {"cbAnimateIcon", &TOptions::AnimateTray},
      {"cbShowScheduler", &TOptions::ShowSchedule},
      {"cbConfirmExit", &TOptions::ConfirmExit},
  };
  for (const auto& [name, field] : checks) {
    TOptions options;
    options.LogMaxLines = 100;
    options.Language = "de";
    options.ShowLogWindow = true;
    TformOptions form;
    form.LoadFrom(options);
    Child<QCheckBox>(&form, name)->setChecked(true);
    TOptions expected = options;
    // Where the system offers no file-manager verb, the option stays off.
    expected.*field = field != &TOptions::ContextMenu || plat::FileVerbSupported();
    form.StoreTo(options);
    EXPECT_EQ(Fields(options), Fields(expected)) << name;
  }
  TOptions options;
  TformOptions form;
  form.LoadFrom(options);
  Child<QComboBox>(&form, "cbLogLevel")->setCurrentIndex(2);
  form.StoreTo(options);
  EXPECT_EQ(options.LogLevel, 2);
}

TEST(OptionsDialog, HintsAreTheControlsToolTips) {
  TformOptions form;
  EXPECT_EQ(Child<QCheckBox>(&form, "cbStartup")->toolTip(), "Launch program on Windows startup");
  EXPECT_EQ(Child<QCheckBox>(&form, "cbMinimizeOnClose")->toolTip(),
            "Minimize program window on close. Select 'File/Exit' menu item to exit application");
  EXPECT_EQ(Child<QCheckBox>(&form, "cbAnimateIcon")->toolTip(), "");
  EXPECT_EQ(Child<QCheckBox>(&form, "cbConfirmExit")->toolTip(), "Ask confirmation on exit");
}

TEST(OptionsDialog, TheFileManagerVerbIsOfferedOnlyWhereTheSystemHasOne) {
  TOptions options;
  options.ContextMenu = true;
  TformOptions form;
  form.LoadFrom(options);
  auto* verb = Child<QCheckBox>(&form, "cbContextMenu");
  EXPECT_EQ(verb->text(), "Windows Explorer context menu");
  if (plat::FileVerbSupported()) {
    EXPECT_TRUE(verb->isEnabled());
    EXPECT_TRUE(verb->isChecked());
    EXPECT_EQ(verb->toolTip(), "Add menu items to the Windows Explorer context menu");
  } else {
    EXPECT_FALSE(verb->isEnabled());
    EXPECT_FALSE(verb->isChecked());  // an option read elsewhere shows as off
    EXPECT_EQ(verb->toolTip(),
              "Not available on Linux: the files a Linux file manager shows are not on the "
              "volumes Contigra works on.");
    verb->setChecked(true);
  }
  form.StoreTo(options);
  EXPECT_EQ(options.ContextMenu, plat::FileVerbSupported());
}

TEST(OptionsDialog, LineLimitIsBroughtIntoItsRange) {
  const struct {
    std::int32_t stored;
    const char* typed;  // null: leave the field as loaded
    int shown;
    std::int32_t saved;
  } cases[] = {
      {0, nullptr, 1, 1},
      {-5, nullptr, 1, 1},
      {5000000, nullptr, 999999, 999999},
      {300, "abc", 300, 1},  // not a number reads as the minimum
      {300, "0", 300, 1},
  };
  for (const auto& c : cases) {
    TOptions options;
    options.LogLevel = 1;
    options.LogMaxLines = c.stored;
    TformOptions form;
    form.LoadFrom(options);
    auto* maxLines = Child<QSpinBox>(&form, "seMaxLog");
    EXPECT_EQ(maxLines->value(), c.shown) << c.stored;
    if (c.typed) maxLines->findChild<QLineEdit*>()->setText(c.typed);
    form.StoreTo(options);
    EXPECT_EQ(options.LogMaxLines, c.saved) << c.stored << " " << (c.typed ? c.typed : "");
  }
}

TEST(OptionsDialog, CancelLeavesEveryOptionAndOkStoresTheEdits) {
  TOptions options;
  options.Startup = options.MinimizeOnStartup = options.ConfirmExit = true;
  options.LogLevel = 2;
  options.LogMaxLines = 700;
  options.Language = "fr";
  const TOptions before = options;

  const auto editEverything = [](QWidget* dialog) {
    for (QCheckBox* box : dialog->findChildren<QCheckBox*>()) box->toggle();
    Child<QComboBox>(dialog, "cbLogLevel")->setCurrentIndex(1);
    Child<QSpinBox>(dialog, "seMaxLog")->setValue(42);
  };
  dlgtest::WhenModal([&](QWidget* dialog) {
    editEverything(dialog);
    dlgtest::Click(Child<QPushButton>(dialog, "btnCancel"));
  });
  EXPECT_FALSE(ShowOptions(options));
  EXPECT_EQ(Fields(options), Fields(before));

  dlgtest::WhenModal([&](QWidget* dialog) {
    editEverything(dialog);
    dlgtest::Click(Child<QPushButton>(dialog, "btnOK"));
  });
  EXPECT_TRUE(ShowOptions(options));
  EXPECT_FALSE(options.Startup || options.MinimizeOnStartup || options.ConfirmExit);
  EXPECT_TRUE(options.MinimizeOnClose && options.ShowSchedule);
  EXPECT_EQ(options.ContextMenu, plat::FileVerbSupported());
  EXPECT_EQ(options.LogLevel, 1);
  EXPECT_EQ(options.LogMaxLines, 42);
  EXPECT_EQ(options.Language, "fr");
}

}  // namespace
