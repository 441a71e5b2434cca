#include "core/imaging/base/VipsRuntime.h"

#include "core/imaging/base/VectorCodeLock.h"
#include "platform/system/Process.h"

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include <gmodule.h>
#include <vips/vips8>

namespace kovi {
namespace {

void IgnoreMessage(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

// Whether libvips was started without its plug-in modules, which LoadImagingModules() then adds.
bool modulesDeferred = false;

constexpr const char* kHugePagesTunable = "glibc.malloc.hugetlb=1";

std::string VersionedName(const char* stem) {
    return stem + std::to_string(vips_version(0)) + "." + std::to_string(vips_version(1));
}

// libvips loads all its plug-in modules as it starts: ImageMagick, libheif, poppler, OpenSlide
// and libjxl, each with the libraries under it. That costs more than reading the headers of a
// few hundred photographs, and most folders never need one, so they are loaded on first need.
// libvips finds them under $VIPSHOME; for its start that points into /proc, where no one can
// put a module. A VIPSHOME of the user's own is left alone, and so are its modules.
bool StartWithoutModules() {
    if (EnvironmentValue("VIPSHOME"))
        return VIPS_INIT("kovi-rzk-lite") == 0;
    SetEnvironmentValue("VIPSHOME", "/proc/self/kovi-no-modules");
    const bool started = VIPS_INIT("kovi-rzk-lite") == 0;
    // Programs started from here must not inherit the detour.
    UnsetEnvironmentValue("VIPSHOME");
    modulesDeferred = started;
    // libvips takes its translations from under $VIPSHOME as well.
    SetTranslationFolder(VersionedName("vips"), KOVI_VIPS_PREFIX "/share/locale");
    return started;
}

void StartOnce() {
    TuneHeapForImages();
    LockVectorCode();

    if (!StartWithoutModules())
        return;

    // Information and debugging messages are left to glib, which drops them unformatted unless
    // the user asks for them: libvips writes a few for every resize, and formatting them only to
    // ignore them took a twentieth of the time of a small picture.
    constexpr auto quietLevels =
        static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE);
    g_log_set_handler("VIPS", quietLevels, IgnoreMessage, nullptr);

    // Each file is opened once and then left behind: a cache of operations would only hold
    // file handles and decoded pixels of images that are never asked for again.
    vips_cache_set_max(0);
    vips_cache_set_max_mem(0);
    vips_cache_set_max_files(0);

    // These read plain text (numbers in rows) as images; a CSV export or a note with two numbers
    // on its first line is no picture and must never be rewritten as one.
    vips_operation_block_set("VipsForeignLoadCsv", TRUE);
    vips_operation_block_set("VipsForeignLoadMatrix", TRUE);
}

} // namespace

void TuneHeapForImages() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Decoding one large image takes buffers of tens of megabytes, which glibc keeps for reuse
        // once they are freed. With one heap per thread every worker would keep the peak of its
        // largest file for good; one shared heap keeps only the largest, and costs no speed here.
        // Those buffers (a progressive JPEG's coefficients, for one) were mapped and unmapped for
        // every file, and the kernel zeroed each page anew: a seventh of a run's time. From the
        // heap they are reused.
        constexpr std::size_t MiB = 1024 * 1024;
        SetHeapPolicy(1, 64 * MiB, 32 * MiB);
    });
}

std::optional<std::string> TunablesWithHugePages(const char* tunables) {
    const std::string current = tunables != nullptr ? tunables : "";
    if (current.find("glibc.malloc.hugetlb") != std::string::npos)
        return std::nullopt;
    return current.empty() ? kHugePagesTunable : current + ":" + kHugePagesTunable;
}

void SettleLibraryThreads(char* argv[]) {
    std::vector<EnvironmentSetting> settings;
    // Idle OpenMP threads spin between parallel loops by default. libimagequant runs many short
    // loops for a palette PNG or a GIF, and with files worked on side by side the spinning took
    // the cores from the other files: twice the time for such a file. A policy of the user's own
    // is kept.
    if (!EnvironmentValue("OMP_WAIT_POLICY"))
        settings.push_back({"OMP_WAIT_POLICY", "PASSIVE"});
    // Every decoded picture lands in fresh memory, and the kernel clears and maps it one 4 KiB
    // page at a time: 150,000 faults and a sixth of the time for a folder of large PNGs. glibc
    // asks for 2 MiB pages when told so as it starts. A setting of the user's own is kept.
    const auto tunables = EnvironmentValue("GLIBC_TUNABLES");
    if (const auto withHugePages = TunablesWithHugePages(tunables ? tunables->c_str() : nullptr))
        settings.push_back({"GLIBC_TUNABLES", *withHugePages});
    RestartWith(argv, settings);
    // Here the libraries have read their settings; what the program starts gets the user's.
    RestoreUserEnvironment();
}

void StartVips() {
    static std::once_flag started;
    std::call_once(started, StartOnce);
}

void LoadImagingModules() {
    StartVips();
    static std::once_flag loaded;
    std::call_once(loaded, [] {
        if (!modulesDeferred)
            return;
        const std::filesystem::path folder =
            std::filesystem::path(KOVI_VIPS_LIBDIR) / VersionedName("vips-modules-");
        std::error_code error;
        for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
             entry.increment(error)) {
            if (entry->path().extension() != "." G_MODULE_SUFFIX)
                continue;
            // Each module registers its operations as it is opened and makes itself resident,
            // so the handle is not closed; one that fails to open is left out, as libvips does.
            g_module_open(entry->path().c_str(), G_MODULE_BIND_LAZY);
        }
    });
}

void RequireOperation(const std::string& nickname) {
    StartVips();
    if (vips_type_find("VipsOperation", nickname.c_str()) == 0)
        LoadImagingModules();
}

void SetImagingThreads(int threads) {
    StartVips();
    vips_concurrency_set(threads);
}

std::string TakeVipsError(const std::string& fallback) {
    std::string text = vips_error_buffer();
    vips_error_clear();
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    // libvips stacks one line per layer that failed; keep them all on one line.
    for (auto at = text.find('\n'); at != std::string::npos; at = text.find('\n', at))
        text.replace(at, 1, "; ");
    return text.empty() ? fallback : text;
}

} // namespace kovi
