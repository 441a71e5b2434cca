#include "core/run/Exclusions.h"

#include "core/listfiles/ListFile.h"

#include <locale>

namespace kovi {
namespace {

// Decodes one UTF-8 sequence at text[at]; returns its length, or 0 when it is not valid.
std::size_t DecodeUtf8(std::string_view text, std::size_t at, char32_t& code) {
    const auto byte = [&](std::size_t i) {
        return static_cast<unsigned char>(text[i]);
    };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    static constexpr char32_t Smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < Smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

void EncodeUtf8(char32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Case rules of Unicode text, whatever locale the program was started in.
const std::ctype<wchar_t>* UnicodeCase() {
    static const std::ctype<wchar_t>* facet = []() -> const std::ctype<wchar_t>* {
        try {
            static const std::locale unicode("C.UTF-8");
            return &std::use_facet<std::ctype<wchar_t>>(unicode);
        } catch (const std::exception&) {
            return nullptr;
        }
    }();
    return facet;
}

} // namespace

std::string FoldCase(std::string_view text) {
    const auto* unicodeCase = UnicodeCase();
    std::string folded;
    folded.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        char32_t code = 0;
        const std::size_t length = DecodeUtf8(text, at, code);
        if (length == 0) {
            folded += text[at++];
            continue;
        }
        if (code < 0x80) {
            folded += static_cast<char>(code >= 'A' && code <= 'Z' ? code + ('a' - 'A') : code);
        } else if (unicodeCase != nullptr) {
            EncodeUtf8(static_cast<char32_t>(unicodeCase->tolower(static_cast<wchar_t>(code))),
                       folded);
        } else {
            folded.append(text.substr(at, length));
        }
        at += length;
    }
    return folded;
}

bool IsExcluded(const std::filesystem::path& path, const std::vector<std::string>& extensions,
                const std::vector<std::string>& folders) {
    const std::string folded = FoldCase(path.native());
    for (const auto& extension : extensions) {
        if (folded.find(FoldCase("." + extension)) != std::string::npos)
            return true;
    }
    for (const auto& folder : folders) {
        if (folded.find(FoldCase(folder)) != std::string::npos)
            return true;
    }
    return false;
}

ExclusionLists::ExclusionLists(std::filesystem::path extensionsFile,
                               std::filesystem::path foldersFile)
    : extensionsFile_(std::move(extensionsFile)), foldersFile_(std::move(foldersFile)),
      lastRead_(read()) {}

std::shared_ptr<const ExclusionLists::Lists> ExclusionLists::read() const {
    return std::make_shared<const Lists>(Lists{LoadList(extensionsFile_), LoadList(foldersFile_)});
}

bool ExclusionLists::readAndMatch(const std::filesystem::path& path) {
    auto lists = read();
    const bool excluded = IsExcluded(path, lists->extensions, lists->folders);
    std::lock_guard lock(mutex_);
    lastRead_ = std::move(lists);
    return excluded;
}

bool ExclusionLists::matchLastRead(const std::filesystem::path& path) const {
    std::shared_ptr<const Lists> lists;
    {
        std::lock_guard lock(mutex_);
        lists = lastRead_;
    }
    return IsExcluded(path, lists->extensions, lists->folders);
}

} // namespace kovi
