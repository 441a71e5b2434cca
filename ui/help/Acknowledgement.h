#pragma once

#include <QString>

namespace kovi {

// The About box's thanks to the libraries this build is made with, with their versions.
QString AcknowledgementText();

} // namespace kovi
