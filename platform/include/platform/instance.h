// One running copy of a program per user: the first start holds a claim,
// and a later start asks it to show itself instead of running twice.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace platform {

class SingleInstance {
 public:
  enum class Outcome {
    kFirst,          // this process holds the claim
    kOtherAnswered,  // another process holds it and took the request to show itself
    kOtherSilent,    // another process holds it but did not answer within 3 s
    kUnavailable,    // the claim cannot be made in this folder; `*error` says why
  };

  // Claims `name` in `folder` (ending with a separator; the user's runtime
  // folder). Holding it, this object calls `onShow` on a thread of its own
  // whenever a later start asks; the claim ends with the object (or the
  // process, however it ends). Null unless the outcome is kFirst.
  static std::unique_ptr<SingleInstance> Claim(const std::string& folder, const std::string& name,
                                               std::function<void()> onShow, Outcome* outcome, std::string* error);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

 private:
  struct State;
  explicit SingleInstance(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace platform
