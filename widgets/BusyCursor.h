#pragma once

namespace varnex {

// The program-wide hourglass for a long operation. It shows from Show() on and the cursor that was
// in force before comes back when the guard ends, whichever way the operation ends.
class BusyCursor {
 public:
  enum class When { Now, OnShow };

  explicit BusyCursor(When when = When::Now);
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
  ~BusyCursor();

  void Show();
  bool Shown() const { return shown_; }

 private:
  bool shown_ = false;
};

}  // namespace varnex
