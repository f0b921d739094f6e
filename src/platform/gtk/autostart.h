// Starting with the session on a Linux desktop: an XDG autostart entry,
// $XDG_CONFIG_HOME/autostart/vaskf5.desktop, whose Exec names the program to start.
#pragma once

#include <filesystem>

namespace gtk {

// The file of the program's own running executable, as the system knows it.
std::filesystem::path runningProgram();

// Whether the entry starts this very program: an entry that names another copy (an older build elsewhere, or
// a program of the same name found on the PATH) does not.
bool autostartStarts(const std::filesystem::path& entry, const std::filesystem::path& program);
// Writes the entry to start the program, or removes it. Failures are left unsaid: the box shows the state
// found the next time the panel opens.
void setAutostart(const std::filesystem::path& entry, const std::filesystem::path& program, bool on);

}  // namespace gtk
