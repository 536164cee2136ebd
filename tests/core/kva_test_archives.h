// Archives for the stream and archive tests, built with the kvapack writer.
#pragma once

#include "tools/kvapack/kva_writer.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#if defined(_WIN32)
#include <direct.h>
#endif
#include <vector>

namespace kvatest {

inline std::vector<uint8_t> Bytes(const std::string &s)
{
    return std::vector<uint8_t>(s.begin(), s.end());
}

// Compressible but not trivial member contents.
inline std::vector<uint8_t> PatternBytes(size_t size, unsigned seed)
{
    std::vector<uint8_t> v(size);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; i++) {
        if (i % 64 < 40) {
            v[i] = (uint8_t)("KorvoStreamTest"[i % 15] + seed);
        } else {
            x = x * 1103515245u + 12345u;
            v[i] = (uint8_t)(x >> 16);
        }
    }
    return v;
}

inline KvaPackItem File(const std::string &name, std::vector<uint8_t> data)
{
    KvaPackItem item;
    item.name = name;
    item.data = std::move(data);
    item.lastWriteTime = {0xD53E8000u, 0x01D9A1B2u};
    return item;
}

inline KvaPackItem Folder(const std::string &name, std::vector<KvaPackItem> children)
{
    KvaPackItem item;
    item.name = name;
    item.folder = true;
    item.children = std::move(children);
    return item;
}

inline std::vector<uint8_t> BuildArchive(const KvaPackItem &root, int version, KvaPacking packing,
                                         const unsigned char *key = nullptr, uint32_t codePage = 932)
{
    KvaPackOptions options;
    options.version = version;
    options.packing = packing;
    options.key = key;
    options.codePage = codePage;
    return BuildKvaArchiveImage(root, options);
}

// The header of an image scrambled with the library's own key, descrambled.
inline Korvo::KvaHeader ReadHeader(const std::vector<uint8_t> &image)
{
    unsigned char key[Korvo::kKvaKeySize];
    Korvo::BuildKvaKey(nullptr, key);
    Korvo::KvaHeader h;
    std::memcpy(&h, image.data(), sizeof h);
    Korvo::ApplyKvaKey(sizeof h, &h, 0, key);
    return h;
}

inline void WriteFile(const std::string &path, const std::vector<uint8_t> &bytes)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

inline void MakeFolder(const std::string &path)
{
#if defined(_WIN32)
    _mkdir(path.c_str());
#else
    mkdir(path.c_str(), 0755);
#endif
}

}  // namespace kvatest
