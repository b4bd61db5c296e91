#include <gtest/gtest.h>

#include <map>

#include <QListWidget>
#include <QPushButton>

#include "DialogTestSupport.h"
#include "Dialogs.h"
#include "Registry.h"
#include "WizardDialog.h"

using dlgtest::Child;

namespace {

const std::string kBatKey = "Software\\RIT\\The Bat!";
std::string StoreKey(const std::string& identity) {
  return "Identities\\" + identity + "\\Software\\Microsoft\\Outlook Express\\5.0";
}

// The user's registry as the test writes it.
class FakeRegistry : public plat::UserRegistry {
 public:
  std::string ReadString(const std::string& key, const std::string& name) override {
    const auto it = values.find({key, name});
    return it == values.end() ? std::string() : it->second;
  }
  std::vector<std::string> SubkeyNames(const std::string& key) override {
    const auto it = subkeys.find(key);
    return it == subkeys.end() ? std::vector<std::string>() : it->second;
  }
  std::map<std::pair<std::string, std::string>, std::string> values;
  std::map<std::string, std::vector<std::string>> subkeys;
};

std::vector<std::pair<QString, bool>> Lines(const QWidget* form) {
  std::vector<std::pair<QString, bool>> lines;
  auto* list = Child<QListWidget>(form, "clbProfiles");
  for (int i = 0; i < list->count(); ++i)
    lines.emplace_back(list->item(i)->text(), list->item(i)->checkState() == Qt::Checked);
  return lines;
}

using Lines_t = std::vector<std::pair<QString, bool>>;

class WizardTest : public ::testing::Test {
 protected:
  WizardTest() {
    registry.values[{kBatKey, "Working Directory"}] = "C:\\Mail\\Bat\\%NOT_EXPANDED%";
    registry.subkeys["Identities"] = {"{B-2}", "{A-1}", "{C-3}"};
    registry.values[{StoreKey("{B-2}"), "Store Root"}] = "%CONTIGRA_TEST_PROFILE%\\Store B";
    registry.values[{StoreKey("{C-3}"), "Store Root"}] = "D:\\Store C";
    registry.values[{StoreKey("{A-1}"), "Other Value"}] = "D:\\not a store";
  }

  FakeRegistry registry;
  dlgtest::ScopedEnv profileFolder{"CONTIGRA_TEST_PROFILE", "C:\\Documents and Settings\\ann"};
  TProfileList profiles;
};

TEST_F(WizardTest, OffersEachProgramFoundWithItsFoldersInRegistryOrder) {
  TWizardForm form({}, registry);
  EXPECT_EQ(form.windowTitle(), "Wizard");
  EXPECT_EQ(Lines(&form), (Lines_t{{"The Bat!", true}, {"Outlook Express", true}}));
  form.TakeChecked(profiles);
  ASSERT_EQ(profiles.size(), 2u);
  // The working folder is taken as stored; store roots are expanded.
  EXPECT_EQ(profiles[0]->Files, (std::vector<std::string>{"C:\\Mail\\Bat\\%NOT_EXPANDED%"}));
  EXPECT_EQ(profiles[1]->Files,
            (std::vector<std::string>{"C:\\Documents and Settings\\ann\\Store B", "D:\\Store C"}));
  for (const auto& p : profiles) {
    EXPECT_EQ(p->RunMethod, 0);
    EXPECT_FALSE(p->SchedulerActive);
    EXPECT_EQ(p->Start, 0);
    EXPECT_EQ(p->Days, (std::array<bool, 7>{}));
  }
}

TEST_F(WizardTest, ProgramsWithoutFoldersAreNotOffered) {
  const struct {
    const char* what;
    std::function<void(FakeRegistry&)> change;
    Lines_t lines;
  } cases[] = {
      {"empty working folder", [](FakeRegistry& r) { r.values[{kBatKey, "Working Directory"}] = ""; },
       {{"Outlook Express", true}}},
      {"identities without stores",
       [](FakeRegistry& r) {
         r.values.erase({StoreKey("{B-2}"), "Store Root"});
         r.values.erase({StoreKey("{C-3}"), "Store Root"});
       },
       {{"The Bat!", true}}},
      {"nothing installed", [](FakeRegistry& r) { r = FakeRegistry(); }, {}},
  };
  for (const auto& c : cases) {
    FakeRegistry changed = registry;
    c.change(changed);
    TWizardForm form({}, changed);
    EXPECT_EQ(Lines(&form), c.lines) << c.what;
  }
}

TEST_F(WizardTest, ExistingNamesInAnyCaseStartUntickedAndDefaultRestoresThat) {
  dlgtest::WhenModal([](QWidget* form) {
    EXPECT_EQ(Lines(form), (Lines_t{{"The Bat!", false}, {"Outlook Express", true}}));
    dlgtest::Click(Child<QPushButton>(form, "btnCheckAll"));
    EXPECT_EQ(Lines(form), (Lines_t{{"The Bat!", true}, {"Outlook Express", true}}));
    dlgtest::Click(Child<QPushButton>(form, "btnUncheckAll"));
    EXPECT_EQ(Lines(form), (Lines_t{{"The Bat!", false}, {"Outlook Express", false}}));
    dlgtest::Click(Child<QPushButton>(form, "btnCheckAll"));
    dlgtest::Click(Child<QPushButton>(form, "btnDefault"));
    EXPECT_EQ(Lines(form), (Lines_t{{"The Bat!", false}, {"Outlook Express", true}}));
    dlgtest::Click(Child<QPushButton>(form, "btnCheckAll"));
    dlgtest::Click(Child<QPushButton>(form, "btnOK"));
  });
  EXPECT_EQ(ShowWizardWith(registry, {"Mail", "the BAT!"}, profiles), QDialog::Accepted);
  ASSERT_EQ(profiles.size(), 2u);
  EXPECT_EQ(profiles[0]->Name, "The Bat!");  // a second one, beside "the BAT!"
  EXPECT_EQ(profiles[1]->Name, "Outlook Express");
}

TEST_F(WizardTest, CancelAddsNothingAndOkAddsOnlyTickedLines) {
  dlgtest::WhenModal([](QWidget* form) {
    dlgtest::Click(Child<QPushButton>(form, "btnCheckAll"));
    dlgtest::Click(Child<QPushButton>(form, "btnCancel"));
  });
  EXPECT_EQ(ShowWizardWith(registry, {}, profiles), QDialog::Rejected);
  EXPECT_TRUE(profiles.empty());

  dlgtest::WhenModal([](QWidget* form) {
    Child<QListWidget>(form, "clbProfiles")->item(0)->setCheckState(Qt::Unchecked);
    dlgtest::Click(Child<QPushButton>(form, "btnOK"));
  });
  EXPECT_EQ(ShowWizardWith(registry, {}, profiles), QDialog::Accepted);
  ASSERT_EQ(profiles.size(), 1u);
  EXPECT_EQ(profiles[0]->Name, "Outlook Express");
}

}  // namespace
