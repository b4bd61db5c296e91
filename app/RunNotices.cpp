#include "RunNotices.h"

#include <QMetaObject>

#include "FragorForm.h"

namespace {

template <class F>
void Post(TRunNotices& notices, F&& call) {
  std::lock_guard guard(notices.Mutex);
  if (!notices.Form) return;
  TFragorForm* form = notices.Form;
  QMetaObject::invokeMethod(form, [form, call = std::forward<F>(call)] { call(*form); },
                            Qt::QueuedConnection);
}

}  // namespace

void TRunNotices::Detach() {
  std::lock_guard guard(Mutex);
  Form = nullptr;
}

void TRunNotices::ProfileStarted(std::int32_t id, std::string name,
                                 std::shared_ptr<TRunProgress> progress) {
  Post(*this, [id, name = std::move(name), progress = std::move(progress)](TFragorForm& form) {
    form.ProfileRunStarted(id, name, progress);
  });
}

void TRunNotices::ProfileFinished(std::int32_t id) {
  Post(*this, [id](TFragorForm& form) { form.ProfileRunFinished(id); });
}

void TRunNotices::FileStarted(std::string path, std::shared_ptr<TRunProgress> progress) {
  Post(*this, [path = std::move(path), progress = std::move(progress)](TFragorForm& form) {
    form.FileRunStarted(path, progress);
  });
}

void TRunNotices::FileFinished() {
  Post(*this, [](TFragorForm& form) { form.FileRunFinished(); });
}
