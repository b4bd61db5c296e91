// The analyze dialog's result list: a model that shows the first `count`
// records of the caller's result list without copying them (rows are
// records, so reordering the records reorders the rows), and a view that
// ticks a row when its check box is pressed or Space is typed.
#pragma once

#include <QAbstractTableModel>
#include <QTreeView>

#include "DefragAPI.h"

class TAnalyzeModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit TAnalyzeModel(const TFileRegionList& list, QObject* parent = nullptr);

  // The number of rows shown; the records behind them must exist.
  void SetCount(int count);
  // The records changed (ticks or order): repaint every row.
  void RecordsChanged();
  void RecordChanged(int row);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  const TFileRegionList& list_;
  int count_ = 0;
};

class TResultListView : public QTreeView {
  Q_OBJECT

 public:
  using QTreeView::QTreeView;
  // Where row `row`'s check box is drawn, in viewport coordinates.
  QRect CheckRect(int row) const;

 signals:
  // The user pressed the row's check box, or typed Space with the row as
  // the first selected one.
  void ToggleRequested(int row);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};
