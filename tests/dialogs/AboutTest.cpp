#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include "AboutDialog.h"
#include "ContigraVersion.h"
#include "DialogTestSupport.h"
#include "Dialogs.h"
#include "ProductInfo.h"

using dlgtest::Child;

namespace {

// Catches what the about box hands to the system's browser and mail program.
class UrlCatcher : public QObject {
  Q_OBJECT

 public:
  UrlCatcher() {
    for (const char* scheme : {"http", "https", "mailto"})
      QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "Open");
  }
  ~UrlCatcher() override {
    for (const char* scheme : {"http", "https", "mailto"})
      QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
  }
  QList<QUrl> opened;

 public slots:
  void Open(const QUrl& url) { opened << url; }
};

void SendMouse(QWidget* target, QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(local), QPointF(target->mapToGlobal(local)),
                    type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

// Presses on `target` at `at`, moves the pointer by `by` and releases.
void Drag(QWidget* target, QPoint at, QPoint by) {
  SendMouse(target, QEvent::MouseButtonPress, at, Qt::LeftButton);
  QWidget* window = target->window();
  const QPoint inWindow = target->mapTo(window, at);
  SendMouse(window, QEvent::MouseMove, inWindow + by, Qt::LeftButton);
  SendMouse(window, QEvent::MouseButtonRelease, inWindow + by, Qt::NoButton);
}

TEST(AboutBox, VersionTextLeavesTheReleaseOut) {
  EXPECT_EQ(TAboutForm::VersionText({2, 10, 3, 5}, "beta"), "Version 2.10 beta (build 5)");
  EXPECT_EQ(TAboutForm::VersionText({3, 7, 0, 120}, "beta"), "Version 3.7 beta (build 120)");
  const TVersionNumbers build = GetVersionNumbers();
  EXPECT_EQ(std::tuple(build.Major, build.Minor, build.Build),
            std::tuple(kContigraVersionMajor, kContigraVersionMinor, kContigraVersionBuild));
}

TEST(AboutBox, ShowsTheProgramAndClosesWithEnterEscAndOk) {
  for (const auto closeWith : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_unknown}) {
    dlgtest::WhenModal([closeWith](QWidget* box) {
      EXPECT_EQ(Child<QLabel>(box, "lblAppName")->text(), "Contigra");
      EXPECT_EQ(Child<QLabel>(box, "lblBuild")->text(),
                TAboutForm::VersionText(GetVersionNumbers(), "beta"));
      EXPECT_TRUE(box->windowFlags() & Qt::FramelessWindowHint);
      EXPECT_EQ(box->size(), QSize(427, 272));
      if (closeWith == Qt::Key_unknown) dlgtest::Click(Child<QPushButton>(box, "btnOK"));
      else QTest::keyClick(box, closeWith);
    });
    ShowAbout("Contigra", "beta");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << closeWith;
  }
}

TEST(AboutBox, LinksOpenTheHomePageAndAMailAndUnderlineUnderThePointer) {
  UrlCatcher catcher;
  TAboutForm form;
  form.show();
  auto* url = Child<QLabel>(&form, "lblURL");
  auto* mail = Child<QLabel>(&form, "lblMail");
  QTest::mouseClick(url, Qt::LeftButton);
  QTest::mouseClick(mail, Qt::LeftButton);
  EXPECT_EQ(catcher.opened, (QList<QUrl>{QUrl(QString::fromUtf8(kProductHomePage)),
                                          QUrl(QStringLiteral("mailto:") + kProductSupportMail)}));

  QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(url, &enter);
  EXPECT_TRUE(url->font().underline());
  QApplication::sendEvent(url, &leave);
  QApplication::sendEvent(mail, &enter);
  EXPECT_FALSE(url->font().underline());
  EXPECT_TRUE(mail->font().underline());
}

TEST(AboutBox, DraggedByTheBackgroundButNotByTheLinkZone) {
  UrlCatcher catcher;
  TAboutForm form;
  form.show();
  const QPoint start = form.pos();
  Drag(Child<QLabel>(&form, "imgLogo"), QPoint(40, 100), QPoint(30, 20));
  EXPECT_EQ(form.pos(), start + QPoint(30, 20));
  Drag(Child<QLabel>(&form, "lblCopyright"), QPoint(5, 5), QPoint(-10, 5));
  EXPECT_EQ(form.pos(), start + QPoint(20, 25));

  // Right of the mail address but under the web address: the link zone.
  auto* url = Child<QLabel>(&form, "lblURL");
  auto* mail = Child<QLabel>(&form, "lblMail");
  ASSERT_GT(url->width(), mail->width());
  const QRect zone = form.LinkZone();
  const QPoint gap(zone.right(), mail->mapTo(&form, QPoint(0, mail->height() / 2)).y());
  Drag(&form, gap, QPoint(50, 50));
  Drag(url, QPoint(3, 3), QPoint(50, 50));
  EXPECT_EQ(form.pos(), start + QPoint(20, 25));
  EXPECT_TRUE(catcher.opened.isEmpty());  // released away from the link
}

}  // namespace

#include "AboutTest.moc"
