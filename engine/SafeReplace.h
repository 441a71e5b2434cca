#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "engine/ByteSink.h"

namespace kovi {

// Temporary files written beside an image while it is replaced are all named
// ".kovi-rzk-XXXXXXXX.tmp", the X letters and digits. The walk over a folder skips them.
bool IsTemporaryFileName(std::string_view fileName);

// Removes temporary files that a run killed mid-save left in `folder` (not in its sub-folders).
// A temporary file that a live save is still writing is locked and left alone. Returns how
// many were removed.
int RemoveStaleTemporaryFiles(const std::filesystem::path& folder);

// A new file beside `target` that takes its place on commit() and is removed otherwise, so that
// a failed encode, a full disk or a crash never leaves a half-written image under its name.
// A symbolic link stays a link and the file it points to is replaced; a file with several hard
// links is rewritten in place once the new content is complete, so that every link sees it.
class ReplacementFile final : public ByteSink {
    struct Original;
    // Only create() makes one; the key lets it do so through std::make_unique.
    struct Key {
        explicit Key() = default;
    };

public:
    // Nothing, with the reason in `error`, when no temporary file can be made there.
    static std::unique_ptr<ReplacementFile> create(const std::filesystem::path& target,
                                                   std::string& error);
    ReplacementFile(Key, std::filesystem::path destination, std::filesystem::path temporaryPath,
                    int descriptor, std::unique_ptr<Original> original);
    ~ReplacementFile() override;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    bool write(const void* data, std::size_t size) override;
    int descriptor() const override { return descriptor_; }
    const std::string& error() const override { return error_; }

    const std::filesystem::path& temporaryPath() const { return temporaryPath_; }

    // Flushes the new content to disk; commit() does it too when it was not done before.
    bool flush(std::string& error);

    // Puts the new content in the target's place, with the mode bits (and, where the process
    // may set them, owner and group) the target has at that moment.
    bool commit(std::string& error);

private:
    bool rewriteInPlace();

    std::filesystem::path destination_;
    std::filesystem::path temporaryPath_;
    int descriptor_ = -1;
    std::unique_ptr<Original> original_;
    bool flushed_ = false;
    bool committed_ = false;
    std::string error_;
};

} // namespace kovi
