// The POSIX single-instance guard: one holder at a time, and the guard is
// free again as soon as the holder lets go (the kernel drops the lock with
// the descriptor, so a crashed holder frees it too).
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "AppTestSupport.h"
#include "DialogTestSupport.h"
#include "SingleInstance.h"

TEST(InstanceGuard, OneHolderAtATimeAndFreeOnceTheHolderGoes) {
  QTemporaryDir runtime;
  dlgtest::ScopedEnv env("CONTIGRA_RUNTIME_DIR", runtime.path().toUtf8().constData());
  auto first = plat::SingleInstance::Create("GuardTest");
  ASSERT_TRUE(first);
  ASSERT_TRUE(first->Take(50));
  EXPECT_TRUE(first->Take(0));  // already held

  auto second = plat::SingleInstance::Create("GuardTest");
  ASSERT_TRUE(second);
  EXPECT_FALSE(second->Take(50));
  EXPECT_TRUE(plat::SingleInstance::Create("OtherName")->Take(0));

  first.reset();
  EXPECT_TRUE(second->Take(50));
  EXPECT_NE(plat::SingleInstanceChannel("GuardTest").find(runtime.path().toStdString()),
            std::string::npos);
}
