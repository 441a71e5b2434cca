#include "core/listing/FormatNames.h"

namespace kovi {

std::string GetFormatName(int fileTypeCode) {
    switch (fileTypeCode) {
    case 1:
        return "TGA";
    case 2:
        return "PCX";
    case 3:
        return "GIF";
    case 4:
    case 13:
    case 14:
    case 15:
    case 16:
    case 17:
    case 18:
    case 19:
    case 26:
        return "TIF";
    case 5:
        return "BMP";
    case 6:
        return "WPG";
    case 7:
        return "WMF";
    case 8:
    case 11:
    case 31:
        return "JPG";
    case 9:
        return "PIC";
    case 10:
        return "PNG";
    case 12:
        return "RLE";
    case 20:
        return "ICO";
    case 21:
        return "PPM";
    case 22:
        return "PGM";
    case 23:
        return "PBM";
    case 24:
        return "DCX";
    case 25:
        return "EPIC";
    case 27:
    case 28:
        return "EXIF";
    case 29:
        return "LJP";
    case 30:
        return "PEPIC";
    case 32:
        return "MOD:CA";
    case 33:
        return "CALS";
    case 34:
        return "PDF";
    case 35:
        return "EPS";
    case 36:
        return "JP2";
    case 37:
        return "WSQ";
    case 38:
        return "JLS";
    default:
        return {};
    }
}

} // namespace kovi
