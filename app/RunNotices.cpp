#include "RunNotices.h"

#include <QMetaObject>

#include "FragorForm.h"

namespace {

// The calls wait in the notices' own queue, guarded by its mutex, and the
// window's thread takes them out under the same mutex when Qt wakes it with
// a queued call that carries nothing: everything the run thread built is
// handed over under a lock of ours, which thread checkers see, and not
// through Qt's event queue, which they cannot see into.
void Post(TRunNotices& notices, std::function<void(TFragorForm&)> call) {
  std::lock_guard guard(notices.Mutex);
  if (!notices.Form) return;
  const bool wake = notices.Pending.empty();
  notices.Pending.push_back(std::move(call));
  if (!wake) return;  // a delivery is on its way and takes this one too
  QMetaObject::invokeMethod(notices.Form, "DeliverRunNotices", Qt::QueuedConnection);
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
  Post(*this,
       [id, name = std::move(name), progress = std::move(progress)](TFragorForm& form) {
         form.ProfileRunStarted(id, name, progress);
       });
}

void TRunNotices::ProfileFinished(std::int32_t id) {
  Post(*this, [id](TFragorForm& form) { form.ProfileRunFinished(id); });
}

void TRunNotices::FileStarted(std::string path, std::shared_ptr<TRunProgress> progress) {
  Post(*this,
       [path = std::move(path), progress = std::move(progress)](TFragorForm& form) {
         form.FileRunStarted(path, progress);
       });
}

void TRunNotices::FileFinished() {
  Post(*this, [](TFragorForm& form) { form.FileRunFinished(); });
}
