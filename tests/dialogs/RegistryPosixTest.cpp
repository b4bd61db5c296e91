// The per-user store and environment expansion of POSIX systems, which the
// wizard reads through.
#include <gtest/gtest.h>

#include <QDialog>
#include <QListWidget>
#include <QPushButton>

#include "DialogTestSupport.h"
#include "Dialogs.h"
#include "Registry.h"

using dlgtest::Child;

namespace {

TEST(UserRegistry, ThisSystemsStoreHasNoValuesSoTheWizardOffersNothing) {
  TProfileList profiles;
  dlgtest::WhenModal([](QWidget* form) {
    EXPECT_EQ(Child<QListWidget>(form, "clbProfiles")->count(), 0);
    dlgtest::Click(Child<QPushButton>(form, "btnOK"));
  });
  EXPECT_EQ(ShowWizard({}, profiles), QDialog::Accepted);
  EXPECT_TRUE(profiles.empty());
}

TEST(ExpandEnvironmentText, ReplacesSetVariablesAndKeepsEverythingElse) {
  dlgtest::ScopedEnv user("CONTIGRA_TEST_USER", "ann");
  const struct {
    const char* text;
    const char* expanded;
  } cases[] = {
      {"C:\\Users\\%CONTIGRA_TEST_USER%\\Mail", "C:\\Users\\ann\\Mail"},
      {"%CONTIGRA_TEST_USER%%CONTIGRA_TEST_USER%", "annann"},
      {"%CONTIGRA_TEST_UNSET%\\x", "%CONTIGRA_TEST_UNSET%\\x"},
      {"100% sure", "100% sure"},
      {"%%", "%%"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(plat::ExpandEnvironmentText(c.text), c.expanded) << c.text;
}

}  // namespace
