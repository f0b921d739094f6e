#include "platform/gtk/process_services.h"

#include <string>

#include "platform/gtk/autostart.h"

namespace gtk {

bool ProcessServices::anotherCopyRuns() {
  if (!lock_) lock_.emplace(lockFile_);
  return !lock_->held();
}

void ProcessServices::showMessage(std::string_view text) {
  GtkWidget* box = gtk_message_dialog_new(owner, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER, GTK_BUTTONS_OK, "%s",
                                          std::string(text).c_str());
  gtk_window_set_title(GTK_WINDOW(box), owner ? gtk_window_get_title(owner) : "Vask F5");
  // The main window stays above other windows; its message must not open behind it.
  gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
  gtk_dialog_run(GTK_DIALOG(box));
  gtk_widget_destroy(box);
}

void ProcessServices::quit() {
  ended_ = true;
  if (gtk_main_level() > 0) gtk_main_quit();
}

bool ProcessServices::startsWithSession() { return autostartStarts(autostartEntry_, runningProgram()); }

void ProcessServices::setStartsWithSession(bool on) { setAutostart(autostartEntry_, runningProgram(), on); }

}  // namespace gtk
