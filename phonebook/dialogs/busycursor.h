// The wait cursor while a long run goes on, taken away while a message box
// asks the user something. Does nothing without a widget application.
#pragma once

namespace pb {

class BusyCursor {
 public:
  BusyCursor();
  ~BusyCursor();
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

  class Suspend {
   public:
    explicit Suspend(BusyCursor& c);
    ~Suspend();
    Suspend(const Suspend&) = delete;
    Suspend& operator=(const Suspend&) = delete;

   private:
    BusyCursor& c_;
  };

 private:
  void On();
  void Off();
  bool gui_;
  bool on_ = false;
};

}  // namespace pb
