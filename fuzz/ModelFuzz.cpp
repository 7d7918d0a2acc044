// ModelFuzz.cpp -- fuzz target for the plant model reader.
//
// Provides: LLVMFuzzerTestOneInput (every input is read as a model file),
// and, when built without libFuzzer, a replay main that runs the files and
// folders named on the command line through it (the kept corpus and the
// crashers found so far). Built from the loader's own sources only, with the
// texture registry replaced by the stand-in below, so no rendering context
// or image file is involved.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "image/textureRegistry.h"
#include "vegetation/modelLoader.h"

// The registry stand-in: issues a new name for every request.
void createTextureRegistry() {}
unsigned getTexture(const char*) {
    static unsigned lastName = 50;
    return ++lastName;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The reader reports every fault it meets; keep the runs quiet unless
    // asked for.
    if (!getenv("MORVISTA_FUZZ_VERBOSE")) (void)!freopen("/dev/null", "w", stdout);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // fmemopen reads from a private copy so the input stays untouched.
    std::vector<char> copy(data, data + size);
    FILE* file = fmemopen(copy.data(), copy.size(), "r");
    if (!file) return 0;
    // A directory part before the backslash exercises the texture names.
    ObjectList model = readObjectList(file, "plants\\fuzz.xml");
    fclose(file);
    releaseObjectList(model);
    return 0;
}

#ifndef MORVISTA_LIBFUZZER
namespace {
int replayFile(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return 1;
}
}  // namespace

int main(int argc, char** argv) {
    LLVMFuzzerInitialize(&argc, &argv);
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path path(argv[i]);
        std::error_code error;
        if (std::filesystem::is_directory(path, error)) {
            for (const auto& entry : std::filesystem::directory_iterator(path, error))
                if (entry.is_regular_file()) replayed += replayFile(entry.path());
        } else if (std::filesystem::is_regular_file(path, error)) {
            replayed += replayFile(path);
        } else {
            fprintf(stderr, "ModelFuzzReplay: %s is neither a file nor a folder\n", argv[i]);
            return 1;
        }
    }
    fprintf(stderr, "ModelFuzzReplay: %d inputs read without a fault\n", replayed);
    return replayed > 0 ? 0 : 1;
}
#endif
