#pragma once

// The serial port behind a COM number: the per-user settings name the device, the link
// opens it.

namespace tf {

class Link;

// Opens the device mapped to COM `comPort`. 0 = open; 1 = cannot be opened (the user has
// been told).
int Rs232cINIT(Link& link, int comPort);

// Opens the device mapped to COM `comPort` and runs the handshake. True when the link is up.
bool startUpLink(Link& link, int comPort);

} // namespace tf
