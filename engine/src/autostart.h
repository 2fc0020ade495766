// Run at system start: the XDG autostart entry
// $XDG_CONFIG_HOME/autostart/kestrova.desktop, which starts the client (the
// executable "kestrova" beside this library) with "-start".
#pragma once

#include <string>

namespace kestrova::engine {

std::string AutostartEntryPath();
// Absolute path of the client executable: this library's folder + "/kestrova".
std::string ClientExecutablePath();
// The entry's text for the given executable; "" when the path cannot be
// written into an entry (control characters).
std::string AutostartEntry(const std::string &executable);

bool SetAutostart(bool on);

}  // namespace kestrova::engine
