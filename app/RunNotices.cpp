#include "RunNotices.h"

#include <QMetaObject>

#include "FragorForm.h"

namespace {

// The calls wait in the notices' own queue, guarded by its mutex, and a
// queued call on the window's thread takes them out under the same mutex:
// the hand-over of what the run thread built is then ordered by a lock of
// ours, which thread checkers see, and not only by Qt's event queue.
void Post(const std::shared_ptr<TRunNotices>& notices, std::function<void(TFragorForm&)> call) {
  std::lock_guard guard(notices->Mutex);
  if (!notices->Form) return;
  const bool wake = notices->Pending.empty();
  notices->Pending.push_back(std::move(call));
  if (!wake) return;  // a delivery is on its way and takes this one too
  QMetaObject::invokeMethod(
      notices->Form, [notices] { notices->Deliver(); }, Qt::QueuedConnection);
}

}  // namespace

void TRunNotices::Deliver() {
  std::deque<std::function<void(TFragorForm&)>> calls;
  TFragorForm* form = nullptr;
  {
    std::lock_guard guard(Mutex);
    calls.swap(Pending);
    form = Form;
  }
  if (!form) return;
  for (auto& call : calls) call(*form);
}

void TRunNotices::Detach() {
  std::lock_guard guard(Mutex);
  Form = nullptr;
  Pending.clear();
}

void TRunNotices::ProfileStarted(std::int32_t id, std::string name,
                                 std::shared_ptr<TRunProgress> progress) {
  Post(shared_from_this(),
       [id, name = std::move(name), progress = std::move(progress)](TFragorForm& form) {
         form.ProfileRunStarted(id, name, progress);
       });
}

void TRunNotices::ProfileFinished(std::int32_t id) {
  Post(shared_from_this(), [id](TFragorForm& form) { form.ProfileRunFinished(id); });
}

void TRunNotices::FileStarted(std::string path, std::shared_ptr<TRunProgress> progress) {
  Post(shared_from_this(),
       [path = std::move(path), progress = std::move(progress)](TFragorForm& form) {
         form.FileRunStarted(path, progress);
       });
}

void TRunNotices::FileFinished() {
  Post(shared_from_this(), [](TFragorForm& form) { form.FileRunFinished(); });
}
