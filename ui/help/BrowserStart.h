#pragma once

#include <QString>

#include <cstdint>

namespace kovi {

// Opening a web page in a new browser window, the way the About box does it: the program
// that opens ".html" files is looked up and started with the address.

// Starts the browser with the address; whether it started is not reported.
void openURL(const QString& sURL);
// True when a browser process was started.
bool StartNewBrowser(const QString& sURL);
// The program that opens ".html" files, or empty; `dwFlagReturned` gets the look-up's code
// (32 and above: found).
QString GetBrowserName(std::int32_t& dwFlagReturned);
// The temporary folder, ending in a separator.
QString GetTempDir();

} // namespace kovi
