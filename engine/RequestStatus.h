// The common tail of every control request: a pending request is waited
// for and its final status read from the IO status block.
#pragma once

#include "Platform.h"

namespace engine_detail {

// Returns the request's effective status. `waitOn` is the handle the
// request was sent on.
inline std::int32_t SettleRequest(std::int32_t status, plat::HANDLE waitOn,
                                  const plat::IO_STATUS_BLOCK& iosb) {
  if (status != plat::STATUS_PENDING) return status;
  plat::WaitForSingleObject(waitOn, plat::INFINITE);
  return iosb.Status;
}

inline bool IsMoreOrDone(std::int32_t status) {
  return status == plat::STATUS_SUCCESS || status == plat::STATUS_BUFFER_OVERFLOW;
}

}  // namespace engine_detail
