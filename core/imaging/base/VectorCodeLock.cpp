// libvips compiles small vector programs with liborc for a resize and frees them with it.
// liborc 0.4.33, the one of Debian 12, frees a program's code memory without its own lock: a
// free on one thread while another compiles breaks liborc's list of code chunks, and the program
// crashes, about once in some thousands of small pictures on two threads. The definitions below
// stand in front of liborc's for libvips and let one compile or free run at a time. Where a
// later liborc takes its own lock as well, it takes it inside this one.
#include "core/imaging/base/VectorCodeLock.h"

#include "platform/system/Process.h"

#include <mutex>

namespace {

std::mutex turn;

using Compile = int (*)(void* program);
using Free = void (*)(void* program);

// What liborc answers for a program it cannot compile; libvips then takes its plain C path.
constexpr int kCannotCompile = 0x100;

Compile LiborcCompile() {
    static const auto next =
        reinterpret_cast<Compile>(kovi::NextDefinitionOf("orc_program_compile"));
    return next;
}

Free LiborcFree() {
    static const auto next = reinterpret_cast<Free>(kovi::NextDefinitionOf("orc_program_free"));
    return next;
}

} // namespace

extern "C" {

int orc_program_compile(void* program) {
    const Compile compile = LiborcCompile();
    const std::lock_guard lock(turn);
    return compile != nullptr ? compile(program) : kCannotCompile;
}

void orc_program_free(void* program) {
    const Free free = LiborcFree();
    const std::lock_guard lock(turn);
    if (free != nullptr)
        free(program);
}

} // extern "C"

namespace kovi {

void LockVectorCode() {
    LiborcCompile();
    LiborcFree();
}

} // namespace kovi
