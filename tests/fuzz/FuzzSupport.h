// Helpers shared by the fuzz targets: cutting one input into fields, turning
// bytes into text, a scratch folder for targets that read files, and a check
// that stops the run loudly (a failed property is a finding like a crash).
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "encoding/Cp936.h"

namespace velotan::fuzz {

// A failed property aborts, so libFuzzer keeps the input as a crash and the
// corpus driver fails its test.
#define FUZZ_CHECK(cond)                                                                     \
    do {                                                                                     \
        if (!(cond)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                    \
        }                                                                                    \
    } while (0)

// Reads an input from the front: fixed-size numbers first, then fields that
// end at a NUL byte; the last field takes whatever is left, NULs included.
// Seeds stay readable: printf 'section\0key\0file bytes'.
class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, size_t size)
        : rest_(reinterpret_cast<const char*>(data), size) {}

    uint8_t Byte() {
        if (rest_.empty())
            return 0;
        auto b = static_cast<uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return b;
    }
    uint16_t U16() {
        uint16_t lo = Byte();
        return static_cast<uint16_t>(lo | (Byte() << 8));
    }
    uint32_t U32() {
        uint32_t lo = U16();
        return lo | (static_cast<uint32_t>(U16()) << 16);
    }
    std::string_view Field() {
        size_t nul = rest_.find('\0');
        std::string_view field = rest_.substr(0, nul);
        rest_.remove_prefix(nul == std::string_view::npos ? rest_.size() : nul + 1);
        return field;
    }
    std::string_view Rest() {
        std::string_view all = rest_;
        rest_ = {};
        return all;
    }

  private:
    std::string_view rest_;
};

// Text as the program meets it: bytes of a code page 936 file, or (raw set)
// any UTF-16 units at all, lone surrogates included, as a window may hand over.
inline std::u16string TextFrom(std::string_view bytes, bool raw) {
    if (!raw)
        return encoding::FromCp936(bytes);
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text.push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                             static_cast<uint8_t>(bytes[i + 1]) << 8));
    }
    return text;
}

// One folder per process for files the targets write. Memory-backed when
// /dev/shm is there, so the millions of small writes cost no disk.
inline const std::filesystem::path& ScratchFolder() {
    static const std::filesystem::path folder = [] {
        std::filesystem::path base = "/dev/shm";
        if (access(base.c_str(), W_OK) != 0)
            base = std::filesystem::temp_directory_path();
        std::string name = (base / "velotan-fuzz-XXXXXX").string();
        if (mkdtemp(name.data()) == nullptr)
            std::abort();
        std::filesystem::path made(name);
        // Left behind when a crash ends the process; normal runs tidy up.
        static struct Tidy {
            std::filesystem::path p;
            ~Tidy() {
                std::error_code ec;
                std::filesystem::remove_all(p, ec);
            }
        } tidy{made};
        return made;
    }();
    return folder;
}

// Replaces whatever stands at path (file or folder) by a file with `bytes`.
inline void PutFile(const std::filesystem::path& path, std::string_view bytes) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    FUZZ_CHECK(out.good());
}

// Replaces whatever stands at path by an empty folder.
inline void PutFolder(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    std::filesystem::create_directories(path, ec);
    FUZZ_CHECK(!ec);
}

inline void Remove(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

}  // namespace velotan::fuzz
