#include "MemoLogView.h"

#include <QMetaObject>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

TMemoLogView::TMemoLogView(QPlainTextEdit* memo) : QObject(memo), memo_(memo) {
  lines_ = memo->document()->isEmpty() ? 0 : memo->document()->blockCount();
}

std::int32_t TMemoLogView::LineCount() {
  std::lock_guard guard(mutex_);
  return lines_;
}

void TMemoLogView::AppendLine(const std::string& text) { Push(TOp::Append, text); }
void TMemoLogView::DeleteFirstLine() { Push(TOp::DeleteFirst); }
void TMemoLogView::ScrollToLastLine() { Push(TOp::Scroll); }
void TMemoLogView::Clear() { Push(TOp::Clear); }

void TMemoLogView::Push(TOp op, std::string text) {
  bool first = false;
  {
    std::lock_guard guard(mutex_);
    switch (op) {
      case TOp::Append: ++lines_; break;
      case TOp::DeleteFirst: if (lines_ > 0) --lines_; break;
      case TOp::Clear: lines_ = 0; break;
      case TOp::Scroll: break;
    }
    first = pending_.empty();
    pending_.push_back({op, std::move(text)});
  }
  if (first) QMetaObject::invokeMethod(this, &TMemoLogView::Flush, Qt::QueuedConnection);
}

void TMemoLogView::Flush() {
  std::vector<TChange> changes;
  {
    std::lock_guard guard(mutex_);
    changes.swap(pending_);
  }
  if (changes.empty()) return;
  memo_->setUpdatesEnabled(false);
  bool scroll = false;
  QTextDocument* doc = memo_->document();
  for (const TChange& change : changes) {
    switch (change.Op) {
      case TOp::Append:
        memo_->appendPlainText(QString::fromStdString(change.Text));
        break;
      case TOp::DeleteFirst: {
        if (doc->isEmpty()) break;
        QTextCursor cursor(doc->firstBlock());
        if (doc->blockCount() > 1) {
          cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
        } else {
          cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        }
        cursor.removeSelectedText();
        break;
      }
      case TOp::Scroll: scroll = true; break;
      case TOp::Clear: memo_->clear(); break;
    }
  }
  if (scroll) memo_->verticalScrollBar()->setValue(memo_->verticalScrollBar()->maximum());
  memo_->setUpdatesEnabled(true);
}
