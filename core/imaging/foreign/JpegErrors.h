#pragma once

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE declared first

#include <jpeglib.h>

namespace kovi {

// Where libjpeg's fatal errors go: the message, and the setjmp armed before each call into it.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

// libjpeg reports a fatal error here and must not return: jump back to the armed setjmp.
[[noreturn]] inline void JumpOnJpegError(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    info->err->format_message(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// Sets libjpeg's error manager in `errors` up to jump, with `message` for its warnings and traces.
inline jpeg_error_mgr* JumpingJpegErrors(JpegErrors& errors, void (*message)(j_common_ptr, int)) {
    jpeg_error_mgr* manager = jpeg_std_error(&errors.manager);
    manager->error_exit = JumpOnJpegError;
    manager->emit_message = message;
    return manager;
}

} // namespace kovi
