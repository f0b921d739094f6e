// The refresh side of the program on X11: finding each browser's frame, sending it F5, its opacity and its
// place in the always-on-top band. Uses a connection of its own; waits only on GLib timers.
#pragma once

#include <X11/Xlib.h>

#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/x11/browser_table.h"
#include "platform/x11/connection.h"
#include "platform/x11/event_source.h"

namespace x11 {

class Desktop final : public platform::Desktop {
 public:
  Desktop();
  // Puts back at once whatever a refresh still holds borrowed (a browser's focus or hidden state).
  ~Desktop() override;
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  bool connected() const { return static_cast<bool>(connection_); }
  // The connection the engine speaks on, for the benchmark that counts its requests.
  Display* display() const { return connection_.get(); }

  std::vector<platform::BrowserFrame> findFrames(std::span<const platform::Browser> browsers) override;
  void refresh(const platform::BrowserFrame& frame) override;
  void setOpacity(platform::WindowId window, std::uint8_t alpha) override;
  void setAbove(platform::WindowId window, bool above) override;

  // How long a Chromium is kept believing it is active after its F5: its renderer must answer first, which
  // takes longer on a loaded machine (80 ms missed about one chord in forty there).
  static constexpr unsigned kHoldMs = 150;

 private:
  // What a refresh changed about a Chromium window for the moment of its F5.
  struct Hold {
    bool unhidden = false;    // the minimised mark taken off its _NET_WM_STATE
    bool unobscured = false;  // told it is no longer fully covered
    bool again = false;       // another refresh asked for meanwhile
    Timeout timer;
  };
  // A top-level window as the lookup sees it: the client window and whether a window manager keeps its
  // state (WM_STATE).
  struct Candidate {
    Window window;
    bool managed;
  };

  // ---- Lookups (desktop.cpp)
  bool windowManagerRuns() const;
  // The top-level client windows, front to back, from one look at the stacking order.
  std::vector<Candidate> clientsFrontToBack() const;
  Window clientInside(Window frame, int depth) const;
  std::optional<platform::Browser> identify(const Candidate& candidate,
                                            std::span<const platform::Browser> browsers) const;
  bool onThisMachine(const std::string& machine) const;
  bool onVisibleDesktop(Window window, std::optional<unsigned long> current) const;

  // ---- Delivery (delivery.cpp)
  void sendF5(Window window) const;
  void sendFocus(Window window, int type) const;
  void sendVisibility(Window window, int state) const;
  void deliverWhileActive(Window window);
  void endHold(Window window);
  bool hasKeyboard(Window window) const;
  bool isIconic(Window window) const;
  bool isFullyCovered(Window window) const;
  bool compositorRuns() const;
  bool changeHiddenMark(Window window, bool hidden) const;

  Connection connection_;
  std::string hostAtStart_;
  std::map<Window, Hold> holds_;
};

}  // namespace x11
