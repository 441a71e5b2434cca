#pragma once

#include <QString>

namespace kovi {

// The main window's list of target resolutions, as the custom resolutions editor keeps it in
// step with custom.dat.
class ResolutionList {
public:
    virtual ~ResolutionList() = default;
    // Adds an entry at the end; the selection stays.
    virtual void appendResolution(const QString& resolution) = 0;
    // Removes every entry equal to the text (exact, case-sensitive), built-in ones too. The
    // chosen entry stays chosen while it is listed; when it was removed, the first entry is.
    virtual void removeResolution(const QString& resolution) = 0;
};

} // namespace kovi
