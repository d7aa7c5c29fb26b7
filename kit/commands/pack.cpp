// velkit pack: writes an archive of files.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "kit/archive/lcc_writer.h"
#include "kit/archive/pack_inputs.h"
#include "kit/command.h"

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "velkit: %s\n", message.c_str());
    return 1;
}

bool parseUnsigned(const char* text, uint32_t* value) {
    char* end = nullptr;
    if (!*text || *text == '-') return false;
    unsigned long long parsed = std::strtoull(text, &end, 10);
    if (*end || parsed > 0xFFFFFFFFull) return false;
    *value = static_cast<uint32_t>(parsed);
    return true;
}

std::string fileStem(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

int run_pack(int argc, char** argv) {
    if (argc < 2) return fail("pack: usage: velkit pack OUT.lcc [options] PATH...");
    std::string out = argv[1];
    LccArchiveLayout layout;
    bool named = false;
    std::string root;
    std::vector<std::string> paths;
    for (int i = 2; i < argc; ++i) {
        std::string option = argv[i];
        bool takesValue = option == "--name" || option == "--base" || option == "--priority" || option == "--note" ||
                          option == "--method" || option == "--directory-method" || option == "--root";
        if (!takesValue) {
            if (option.rfind("--", 0) == 0) return fail("pack: unknown option " + option);
            paths.push_back(option);
            continue;
        }
        if (i + 1 >= argc) return fail("pack: " + option + " needs a value");
        std::string value = argv[++i];
        if (option == "--name") {
            layout.name = value;
            named = true;
        } else if (option == "--base") {
            layout.baseName = value;
        } else if (option == "--note") {
            layout.note = value;
        } else if (option == "--root") {
            root = value;
        } else if (option == "--priority") {
            if (!parseUnsigned(value.c_str(), &layout.priority)) return fail("pack: bad priority " + value);
            layout.prioritised = true;
        } else {
            int method = parseLccMethod(value);
            if (method < 0) return fail("pack: unknown method " + value + " (stored, lz or zlib)");
            (option == "--method" ? layout.memberMethod : layout.directoryMethod) = static_cast<uint32_t>(method);
        }
    }
    if (paths.empty()) return fail("pack: no files to pack");
    if (layout.prioritised && (named || !layout.baseName.empty())) {
        return fail("pack: --priority makes an archive without name or base; drop --name and --base");
    }
    // A named archive needs a name of its own: two archives of the same name
    // are not both mounted.
    if (!layout.prioritised && !named) layout.name = fileStem(out);

    try {
        std::vector<LccMember> members = collectPackInputs(paths, root, out);
        std::vector<uint8_t> archive = buildLccArchive(layout, members);
        std::ofstream file(out, std::ios::binary | std::ios::trunc);
        if (!file) return fail("pack: cannot write " + out);
        file.write(reinterpret_cast<const char*>(archive.data()), static_cast<std::streamsize>(archive.size()));
        file.close();
        if (!file) return fail("pack: cannot write " + out);
    } catch (const std::exception& error) {
        return fail(std::string("pack: ") + error.what());
    }
    return 0;
}

}  // namespace

VELKIT_COMMAND(pack,
               "pack OUT.lcc [--name N] [--base B] [--priority P] [--note T] [--method stored|lz|zlib] "
               "[--directory-method stored|lz|zlib] [--root DIR] PATH...",
               "writes an archive of the given files and directories; members that packing would not shrink are stored",
               run_pack);
