#include "platform/gtk/process_services.h"

#include <string>

namespace gtk {

bool ProcessServices::PrevInstance() {
  if (!lock_) lock_.emplace(lockFile_);
  return !lock_->held();
}

void ProcessServices::MsgBox(std::string_view text) {
  GtkWidget* box = gtk_message_dialog_new(owner, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER, GTK_BUTTONS_OK, "%s",
                                          std::string(text).c_str());
  gtk_window_set_title(GTK_WINDOW(box), owner ? gtk_window_get_title(owner) : "Vask F5");
  // The main window stays above other windows; its message must not open behind it.
  gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
  gtk_dialog_run(GTK_DIALOG(box));
  gtk_widget_destroy(box);
}

void ProcessServices::End() {
  ended_ = true;
  if (gtk_main_level() > 0) gtk_main_quit();
}

}  // namespace gtk
