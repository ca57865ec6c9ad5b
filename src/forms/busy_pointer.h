// The busy mouse pointer while work is under way, back to normal when the work is done: at
// release(), or when the object goes, whichever comes first, so no error path leaves it busy.
#pragma once

namespace kolt::forms {

class BusyPointer {
 public:
  BusyPointer();
  ~BusyPointer();
  BusyPointer(const BusyPointer&) = delete;
  BusyPointer& operator=(const BusyPointer&) = delete;
  void release();

 private:
  bool active_ = true;
};

}  // namespace kolt::forms
