// shader_build: assembles the library's shader programs with the platform's
// shader assembler (d3dcompiler_47, loaded at run time), packs them into the
// two built-in shader images (KVA archives, LZ-packed as a whole) and writes
// them as a C++ source for the library. Runs under Wine at build time.
//   shader_build LIST SOURCE_FOLDER OUTPUT.cpp
// LIST lines: archive (1 or 2) output-name source [NAME=VALUE ...]; '#' comments.
// The output depends only on the sources: fixed file times, sorted members.
#include "tools/kvapack/kva_lz_encode.h"
#include "tools/kvapack/kva_writer.h"

#include <windows.h>
#include <d3dcompiler.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

typedef HRESULT(WINAPI *AssembleEntry)(const void *source, SIZE_T size, const char *name,
                                       const D3D_SHADER_MACRO *defines, ID3DInclude *include, UINT flags,
                                       ID3DBlob **code, ID3DBlob **errors);

struct ShaderEntry {
    int archive = 0;
    std::string name;
    std::string source;
    std::vector<std::pair<std::string, std::string>> defines;
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------
static std::string ReadText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

static std::vector<ShaderEntry> ReadList(const std::string &path)
{
    std::vector<ShaderEntry> entries;
    std::istringstream lines(ReadText(path));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#' || line[0] == '\r') continue;
        std::istringstream words(line);
        ShaderEntry entry;
        std::string define;
        if (!(words >> entry.archive >> entry.name >> entry.source) || entry.archive < 1 || entry.archive > 2) {
            throw std::runtime_error("bad list line: " + line);
        }
        while (words >> define) {
            size_t equals = define.find('=');
            if (equals == std::string::npos) throw std::runtime_error("bad define: " + define);
            entry.defines.emplace_back(define.substr(0, equals), define.substr(equals + 1));
        }
        entries.push_back(entry);
    }
    return entries;
}

static std::vector<uint8_t> Assemble(AssembleEntry assemble, const std::string &folder, const ShaderEntry &entry)
{
    std::string text = ReadText(folder + "/" + entry.source);
    std::vector<D3D_SHADER_MACRO> macros;
    for (const auto &d : entry.defines) macros.push_back({d.first.c_str(), d.second.c_str()});
    macros.push_back({nullptr, nullptr});
    ID3DBlob *code = nullptr;
    ID3DBlob *errors = nullptr;
    HRESULT hr = assemble(text.data(), text.size(), entry.source.c_str(), macros.data(), nullptr, 0, &code, &errors);
    std::string message;
    if (errors != nullptr) {
        message.assign(static_cast<const char *>(errors->GetBufferPointer()), errors->GetBufferSize());
        errors->Release();
    }
    if (FAILED(hr) || code == nullptr) {
        throw std::runtime_error("cannot assemble " + entry.name + ": " + message);
    }
    const uint8_t *bytes = static_cast<const uint8_t *>(code->GetBufferPointer());
    std::vector<uint8_t> result(bytes, bytes + code->GetBufferSize());
    code->Release();
    return result;
}

static std::vector<uint8_t> PackArchive(std::vector<KvaPackItem> files)
{
    std::sort(files.begin(), files.end(), [](const KvaPackItem &a, const KvaPackItem &b) { return a.name < b.name; });
    KvaPackItem root;
    root.folder = true;
    root.children = std::move(files);
    KvaPackOptions options;
    options.packing = KvaPacking::Stored;  // the whole image is LZ-packed
    std::vector<uint8_t> image = BuildKvaArchiveImage(root, options);
    return EncodeKvaLzBlock(image.data(), image.size());
}

static void WriteImage(std::ostream &out, int index, const std::vector<uint8_t> &bytes)
{
    out << "static const unsigned char kImage" << index << "[] = {";
    for (size_t i = 0; i < bytes.size(); ++i) {
        out << (i % 24 == 0 ? "\n    " : "") << static_cast<unsigned>(bytes[i]) << ",";
    }
    out << "\n};\n";
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fputs("usage: shader_build LIST SOURCE_FOLDER OUTPUT.cpp\n", stderr);
        return 2;
    }
    try {
        HMODULE compiler = LoadLibraryA("d3dcompiler_47.dll");
        if (compiler == nullptr) throw std::runtime_error("d3dcompiler_47.dll does not load");
        AssembleEntry assemble = reinterpret_cast<AssembleEntry>(
            reinterpret_cast<void *>(GetProcAddress(compiler, "D3DAssemble")));
        if (assemble == nullptr) throw std::runtime_error("D3DAssemble is missing");
        std::vector<KvaPackItem> archives[2];
        for (const ShaderEntry &entry : ReadList(argv[1])) {
            KvaPackItem item;
            item.name = entry.name;
            item.data = Assemble(assemble, argv[2], entry);
            archives[entry.archive - 1].push_back(std::move(item));
        }
        std::vector<uint8_t> images[2] = {PackArchive(archives[0]), PackArchive(archives[1])};
        // Written whole under another name, then renamed as the last step: the
        // output is there only when the program reached its end (the build reads
        // that as the sign of its normal end; see tools/wine_exec.sh --output).
        const std::string part = std::string(argv[3]) + ".part";
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out << "// Generated by shader_build from graphics/shading/shader_programs at build time.\n"
               "#include \"graphics/shading/builtin_shader_images.h\"\n\nnamespace Korvo {\n\n";
        for (int i = 0; i < 2; ++i) WriteImage(out, i, images[i]);
        out << "\nconst BuiltinShaderImage BuiltinShaderImages[kBuiltinShaderImageCount] = {\n";
        for (int i = 0; i < 2; ++i) out << "    {kImage" << i << ", " << images[i].size() << "},\n";
        out << "};\n\n} // namespace Korvo\n";
        out.close();
        if (!out) throw std::runtime_error("cannot write " + part);
        if (!MoveFileExA(part.c_str(), argv[3], MOVEFILE_REPLACE_EXISTING))
            throw std::runtime_error(std::string("cannot rename ") + part + " to " + argv[3]);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "shader_build: %s\n", e.what());
        return 1;
    }
    return 0;
}
