#pragma once

#include <QString>

namespace kovi {

// The program-wide values that the settings store loads and saves. One instance lives as
// long as the program; the windows share it by reference. Before the settings are loaded
// everything is empty or 0.
struct ProgramSettings {
    QString LastResIndex; // the chosen target resolution text, "640x480"
    QString ProcessSubs;  // "0" or "1": whether sub-folders are processed too
    int JpegChrom = 0;    // 0..255
    int JpegLum = 0;      // 0..255
    int ShowTips = 0;     // 0 or 1: the folder tree shows the selected path as its tooltip
    int WriteLog = 0;     // 0 or 1: a batch run writes kovilog.txt
};

} // namespace kovi
