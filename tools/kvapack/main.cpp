// kvapack: packs a folder into a KVA archive that the Korvo library reads.
#include "tools/kvapack/kva_writer.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------
static const char kUsage[] =
    "usage: kvapack [-v VERSION] [-m stored|packed|auto] [-c CODEPAGE] FOLDER OUTPUT.KVA\n"
    "Packs the files and sub-folders of FOLDER (not FOLDER itself) into a KVA archive\n"
    "scrambled with the Korvo library's own key.\n"
    "  -v VERSION   archive version 1 to 5 (default 5; version 1 cannot pack)\n"
    "  -m MODE      stored: members as they are; packed: every non-empty member LZ-packed;\n"
    "               auto (default): packed only when that makes the member smaller\n"
    "  -c CODEPAGE  code page of the names, written from version 4 (default 932)\n"
    "Name the archive after the folder (img.KVA beside img) so that paths through\n"
    "that folder are read from it.\n";

// Unix seconds to a Windows FILETIME (100 ns units since 1601).
static Korvo::KvaFileTime UnixToFileTime(time_t seconds)
{
    uint64_t t = ((uint64_t)seconds + 11644473600ull) * 10000000ull;
    return {(uint32_t)t, (uint32_t)(t >> 32)};
}

static void FillTimes(KvaPackItem &item, const fs::path &path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return;
    item.creationTime = UnixToFileTime(st.st_mtime);
    item.lastAccessTime = UnixToFileTime(st.st_atime);
    item.lastWriteTime = UnixToFileTime(st.st_mtime);
}

static void ReadFolder(KvaPackItem &folder, const fs::path &path)
{
    std::vector<fs::path> children;
    for (const fs::directory_entry &e : fs::directory_iterator(path)) children.push_back(e.path());
    std::sort(children.begin(), children.end());
    for (const fs::path &child : children) {
        KvaPackItem item;
        item.name = child.filename().string();
        FillTimes(item, child);
        if (fs::is_directory(child)) {
            item.folder = true;
            ReadFolder(item, child);
        } else {
            std::ifstream in(child, std::ios::binary);
            if (!in) throw std::runtime_error("cannot read " + child.string());
            item.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        folder.children.push_back(std::move(item));
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Parse the options, read the folder, write the archive.
int main(int argc, char **argv)
{
    KvaPackOptions options;
    std::vector<std::string> operands;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if ((arg == "-v" || arg == "-m" || arg == "-c") && i + 1 < argc) {
            std::string value = argv[++i];
            if (arg == "-v") options.version = std::atoi(value.c_str());
            if (arg == "-c") options.codePage = (uint32_t)std::strtoul(value.c_str(), nullptr, 10);
            if (arg == "-m") {
                if (value == "stored") options.packing = KvaPacking::Stored;
                else if (value == "packed") options.packing = KvaPacking::Packed;
                else if (value == "auto") options.packing = KvaPacking::Auto;
                else {
                    std::fprintf(stderr, "kvapack: unknown mode %s\n%s", value.c_str(), kUsage);
                    return 2;
                }
            }
            continue;
        }
        if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "kvapack: unknown option %s\n%s", arg.c_str(), kUsage);
            return 2;
        }
        operands.push_back(arg);
    }
    if (operands.size() != 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    try {
        if (!fs::is_directory(operands[0])) throw std::runtime_error(operands[0] + " is not a folder");
        KvaPackItem root;
        root.folder = true;
        FillTimes(root, operands[0]);
        ReadFolder(root, operands[0]);
        std::vector<uint8_t> image = BuildKvaArchiveImage(root, options);
        std::ofstream out(operands[1], std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(image.data()), (std::streamsize)image.size());
        if (!out) throw std::runtime_error("cannot write " + operands[1]);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "kvapack: %s\n", e.what());
        return 1;
    }
    return 0;
}
