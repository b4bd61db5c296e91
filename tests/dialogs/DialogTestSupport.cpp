#include "DialogTestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QPointer>
#include <QTest>
#include <QTimer>

namespace dlgtest {
namespace {

constexpr int kPollMs = 10;
constexpr int kPolls = 500;

void Poll(QPointer<QWidget> above, std::function<void(QWidget*)> step, int left) {
  QTimer::singleShot(kPollMs, [above, step = std::move(step), left]() mutable {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != above.data() && modal->isVisible()) {
      step(modal);
    } else if (left > 0) {
      Poll(above, std::move(step), left - 1);
    } else {
      ADD_FAILURE() << "no modal window appeared";
    }
  });
}

}  // namespace

void WhenModal(std::function<void(QWidget*)> step) {
  Poll(QApplication::activeModalWidget(), std::move(step), kPolls);
}

void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

void ClickHeader(QHeaderView* header, int section) {
  const int x = header->sectionViewportPosition(section) + header->sectionSize(section) / 2;
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

void ClickRow(QAbstractItemView* view, const QModelIndex& index, int x) {
  const QRect row = view->visualRect(index);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(row.left() + x, row.center().y()));
}

}  // namespace dlgtest
