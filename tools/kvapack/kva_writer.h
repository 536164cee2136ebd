// Builds KVA archive images from a tree of folders and files held in memory.
#pragma once

#include "core/streams/kva_format.h"

#include <cstdint>
#include <string>
#include <vector>

struct KvaPackItem {
    std::string name;                 // as written; empty for the root
    bool folder = false;
    std::vector<uint8_t> data;        // files only
    std::vector<KvaPackItem> children; // folders only, in archive order
    Korvo::KvaFileTime creationTime{};
    Korvo::KvaFileTime lastAccessTime{};
    Korvo::KvaFileTime lastWriteTime{};
};

enum class KvaPacking { Stored, Packed, Auto };

struct KvaPackOptions {
    int version = 5;
    KvaPacking packing = KvaPacking::Auto;  // version 1 always stores
    uint32_t codePage = 932;                // written from version 4
    const unsigned char *key = nullptr;     // null: the library's own key
};

// Lay out, pack and scramble a whole archive; throws std::invalid_argument for a
// version outside 1 to 5 or a tree too large for 32-bit offsets.
std::vector<uint8_t> BuildKvaArchiveImage(const KvaPackItem &root, const KvaPackOptions &options);
