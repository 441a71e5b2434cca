// glib, under libvips, must come before Qt, whose "signals" keyword it uses as a name.
#include <cstdio>

#include <jpeglib.h>
#include <vips/vips.h>

#include "ui/help/Acknowledgement.h"

#include <QtGlobal>

namespace kovi {
namespace {

QString LibjpegTurboVersion() {
    constexpr int number = LIBJPEG_TURBO_VERSION_NUMBER; // 2001005 is 2.1.5
    return QStringLiteral("%1.%2.%3")
        .arg(number / 1000000)
        .arg(number / 1000 % 1000)
        .arg(number % 1000);
}

} // namespace

QString AcknowledgementText() {
    return QStringLiteral("Images are read, resized and written with libvips %1 and "
                          "libjpeg-turbo %2. The windows are made with Qt %3, and help files "
                          "are read with chmlib.")
        .arg(QString::fromLatin1(vips_version_string()), LibjpegTurboVersion(),
             QString::fromLatin1(qVersion()));
}

} // namespace kovi
