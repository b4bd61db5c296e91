// Help > "Visit home page" hands the product's home page to the system's
// browser: caught here through Qt's own URL handlers, as a browser would
// be started.
#include <gtest/gtest.h>

#include <QAction>
#include <QDesktopServices>
#include <QList>
#include <QUrl>

#include "AppTestSupport.h"
#include "ProductInfo.h"

namespace {

class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  UrlCatcher() {
    for (const char* scheme : {"http", "https", "mailto", "file"})
      QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "Open");
  }
  ~UrlCatcher() override {
    for (const char* scheme : {"http", "https", "mailto", "file"})
      QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
  }
  QList<QUrl> opened;

 public slots:
  void Open(const QUrl& url) { opened << url; }
};

TEST(HomePageTest, VisitHomePageOpensExactlyTheHomePage) {
  apptest::TAppFixture app;
  app.Open();
  UrlCatcher browser;
  QAction* item = app.Form().findChild<QAction*>(QStringLiteral("TBXItem15"));
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->text(), "Visit home page");
  item->trigger();
  EXPECT_EQ(browser.opened, QList<QUrl>{QUrl(QString::fromLatin1(kProductHomePage))});
  app.Close();
}

}  // namespace

#include "HomePageTest.moc"
