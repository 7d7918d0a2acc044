// main.cpp -- scenegen: writes every data file of the Morvista scene.
//
// Usage: scenegen [--seed N] [--out DIR] [--sizes 129,257,513,1025]
//                 [--preview sheet.png] [--relief relief.png] [--view view.png]
//                 [--heightmap FILE [--crop x0,y0,w,h]
//                  [--vertical-exaggeration k | --height-range lo,hi | --relief-share k]]
// The same seed always gives byte-identical files. The build runs it once
// with the default seed into the program's folder. With --heightmap the
// terrain is elevation data read through GDAL (import.h) and the rest of the
// scene is made for it.
#include "font.h"
#include "image.h"
#include "import.h"
#include "plants.h"
#include "preview.h"
#include "sky.h"
#include "terrain.h"
#include "textures.h"
#include "view.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr uint32_t defaultSeed = 20;
const int allSizes[] = {129, 257, 513, 1025};

struct Options {
    uint32_t seed = defaultSeed;
    std::string out = ".";
    std::vector<int> sizes = {129, 257, 513, 1025};
    std::string preview;
    std::string relief;
    std::string view;
    int viewSize = 257;
    ImportOptions import; // import.file empty: the generated landscape
};

void printUsage(FILE* to)
{
    std::fprintf(to,
                 "usage: scenegen [--seed N] [--out DIR] [--sizes LIST] [--preview FILE.png] [--relief FILE.png]\n"
                 "                [--view FILE.png] [--view-size N]\n"
                 "  --seed N          landscape, plants and sky from seed N (default %u)\n"
                 "  --out DIR         folder for the scene files, made if missing (default: current folder)\n"
                 "  --sizes LIST      terrain sizes to write, comma separated, from 129,257,513,1025 (default all)\n"
                 "  --preview FILE    also write a contact sheet PNG of every picture and plant model\n"
                 "  --relief FILE     also write a shaded relief PNG of the 1025 terrain with its lightmap\n"
                 "  --view FILE       also write a 1024 x 768 software drawing of the start view (brute force,\n"
                 "                    splatting, lightmap, full plant models)\n"
                 "  --view-size N     terrain size of that view (default 257, the start script's; the eye\n"
                 "                    moves with the size so it stands on the same spot of the land)\n"
                 "  --heightmap FILE  terrain from elevation data GDAL reads (GeoTIFF, PNG, SRTM .hgt, ASCII\n"
                 "                    grid, ...): its largest centred square, heights filling 0-255\n"
                 "  --crop x0,y0,w,h  read only this window of the file (cells; its largest centred square)\n"
                 "  --vertical-exaggeration k\n"
                 "                    relief true to scale on the 257 map times k (georeferenced files)\n"
                 "  --height-range lo,hi\n"
                 "                    heights lo and hi (the file's units) become height steps 0 and 255 (any file)\n"
                 "  --relief-share k  the relief fills k (above 0, at most 1) of the 255 height steps (any file)\n",
                 defaultSeed);
}

bool parseSizes(const char* text, std::vector<int>& sizes)
{
    sizes.clear();
    std::string list = text;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        char* end = nullptr;
        long value = std::strtol(item.c_str(), &end, 10);
        bool known = false;
        for (int size : allSizes)
            known = known || value == size;
        if (item.empty() || *end != '\0' || !known) {
            std::fprintf(stderr, "scenegen: --sizes: \"%s\" is not one of 129, 257, 513, 1025\n", item.c_str());
            return false;
        }
        bool repeated = false;
        for (int size : sizes)
            repeated = repeated || size == value;
        if (!repeated)
            sizes.push_back((int)value);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return !sizes.empty();
}

// Returns 0 when the options are good, 1 when usage was asked for, -1 on error.
int parseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            printUsage(stdout);
            return 1;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "scenegen: %s needs a value\n", arg.c_str());
            printUsage(stderr);
            return -1;
        }
        const char* value = argv[++i];
        if (arg == "--seed") {
            char* end = nullptr;
            unsigned long long seed = std::strtoull(value, &end, 10);
            if (*value == '\0' || *value == '-' || *end != '\0' || seed > 0xFFFFFFFFull) {
                std::fprintf(stderr, "scenegen: --seed: \"%s\" is not a number from 0 to 4294967295\n", value);
                return -1;
            }
            options.seed = (uint32_t)seed;
        } else if (arg == "--out") {
            options.out = value;
        } else if (arg == "--sizes") {
            if (!parseSizes(value, options.sizes))
                return -1;
        } else if (arg == "--preview") {
            options.preview = value;
        } else if (arg == "--relief") {
            options.relief = value;
        } else if (arg == "--view") {
            options.view = value;
        } else if (arg == "--view-size") {
            std::vector<int> one;
            if (!parseSizes(value, one) || one.size() != 1)
                return -1;
            options.viewSize = one[0];
        } else if (arg == "--heightmap") {
            if (*value == '\0') {
                std::fprintf(stderr, "scenegen: --heightmap: the file name is empty\n");
                return -1;
            }
            options.import.file = value;
        } else if (arg == "--crop" || arg == "--vertical-exaggeration" || arg == "--height-range" ||
                   arg == "--relief-share") {
            std::string error;
            bool good = arg == "--crop"                     ? parseCrop(value, options.import, error)
                        : arg == "--vertical-exaggeration" ? parseExaggeration(value, options.import, error)
                        : arg == "--height-range"          ? parseHeightRange(value, options.import, error)
                                                           : parseReliefShare(value, options.import, error);
            if (!good) {
                std::fprintf(stderr, "scenegen: %s\n", error.c_str());
                return -1;
            }
        } else {
            std::fprintf(stderr, "scenegen: unknown option %s\n", arg.c_str());
            printUsage(stderr);
            return -1;
        }
    }
    const ImportOptions& import = options.import;
    if (import.file.empty() &&
        (import.crop || import.exaggeration > 0.0 || import.heightRange || import.reliefShare > 0.0)) {
        std::fprintf(stderr, "scenegen: --crop, --vertical-exaggeration, --height-range and --relief-share need "
                             "--heightmap FILE\n");
        return -1;
    }
    if ((import.exaggeration > 0.0) + import.heightRange + (import.reliefShare > 0.0) > 1) {
        std::fprintf(stderr, "scenegen: give only one of --vertical-exaggeration, --height-range and --relief-share\n");
        return -1;
    }
    return 0;
}

std::string distributionFile(int size)
{
    return size == 129 ? std::string("grassdist2.raw") : "grassdist2_" + std::to_string(size) + ".raw";
}

// Every file is written through here so one failure is reported with its
// name and the run ends with a failure code.
struct Writer {
    std::string folder;
    int written = 0;
    bool failed = false;
    std::string path(const std::string& name) const { return (std::filesystem::path(folder) / name).string(); }
    void tga(const std::string& name, const Image& image)
    {
        if (writeTga(path(name), image))
            written++;
        else
            failed = true;
    }
    void bytes(const std::string& name, const std::vector<uint8_t>& data)
    {
        if (writeFileBytes(path(name), data))
            written++;
        else
            failed = true;
    }
};

Image greyPicture(const std::vector<uint8_t>& grid, int size)
{
    Image image(size, size, 1);
    image.pixels = grid;
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    int parsed = parseOptions(argc, argv, options);
    if (parsed != 0)
        return parsed > 0 ? 0 : 2;

    auto started = std::chrono::steady_clock::now();
    // Elevation data is read before anything is written, so a file that
    // cannot be used leaves the output folder as it was.
    const bool importing = !options.import.file.empty();
    ImportedTerrain imported;
    if (importing) {
        std::string problem;
        options.import.progress = stdout;
        if (!importHeightmap(options.import, imported, problem)) {
            std::fprintf(stderr, "scenegen: %s; nothing written\n", problem.c_str());
            return 1;
        }
        printImportReport(imported, stdout);
    }
    std::error_code error;
    std::filesystem::create_directories(options.out, error);
    if (error) {
        std::fprintf(stderr, "scenegen: cannot make folder %s: %s\n", options.out.c_str(), error.message().c_str());
        return 1;
    }
    Writer writer{options.out};
    std::vector<PreviewTile> tiles;
    const uint32_t seed = options.seed;

    // Terrain: one landscape, lit once with the relief as steep as on the
    // 257 map (the size the start script opens), then every size resampled
    // from it so all maps and the lightmap texture show the same light.
    Landscape land = importing ? describeLandscape(imported.heights.at(masterSize), seed) : buildLandscape(seed);
    // Each size's heights: imported ones are averaged from the file itself.
    auto heightsOf = [&](int size) {
        return importing ? imported.heights.at(size) : resampleField(land.height, size);
    };
    Field light = computeLighting(land.height, 4.0f);
    std::vector<uint8_t> masterHeights = fieldToBytes(land.height, false);
    std::vector<uint8_t> masterLight = fieldToBytes(light, true);
    for (int size : options.sizes) {
        std::vector<uint8_t> heights = size == masterSize ? masterHeights : fieldToBytes(heightsOf(size), false);
        std::vector<uint8_t> lightGrid = size == masterSize ? masterLight : fieldToBytes(resampleField(light, size), true);
        std::vector<uint8_t> density = fieldToBytes(resampleField(land.density, size), true);
        std::string name = std::to_string(size);
        writer.bytes("height" + name + ".raw", heights);
        writer.bytes("height" + name + "lm2.raw", lightGrid);
        writer.bytes(distributionFile(size), density);
        tiles.push_back({"height" + name + ".raw", greyPicture(heights, size)});
        tiles.push_back({"height" + name + "lm2.raw", greyPicture(lightGrid, size)});
        tiles.push_back({distributionFile(size), greyPicture(density, size)});
    }

    // Terrain textures.
    Image twig = makeForestFloor(seed);
    Image sandDetail = makeSandDetail(seed);
    TerrainMaps maps = makeTerrainMaps(land, averageColour(twig), averageColour(sandDetail), seed);
    Image lightmap = makeLightmapTexture(light);
    Image load = makeLoadPicture(seed);
    const std::pair<const char*, const Image*> terrainPictures[] = {
        {"twig01ar.tga", &twig},          {"sbend1010.tga", &maps.base}, {"leavesm1.tga", &maps.leaves},
        {"tmsand10a.tga", &sandDetail},   {"sandm1.tga", &maps.sand},    {"lightmap.tga", &lightmap},
        {"load.tga", &load},
    };
    for (const auto& [name, image] : terrainPictures) {
        writer.tga(name, *image);
        tiles.push_back({name, *image});
    }

    // The glyph sheet of the text the program draws over its view.
    writer.tga("font.tga", makeGlyphSheet());

    // Sky box.
    std::vector<Image> sky = makeSkyBox(seed, 1024);
    for (int face = 0; face < 6; face++) {
        writer.tga(skyFaceFiles[face], sky[face]);
        tiles.push_back({skyFaceFiles[face], sky[face]});
    }

    // Plant models and their textures, side by side.
    Plants plants = makePlants(seed);
    for (const PlantTexture& texture : plants.textures) {
        writer.tga(texture.file, texture.image);
        tiles.push_back({texture.file + (texture.brightened ? " (+50)" : ""), texture.image});
    }
    for (const Model& model : plants.models) {
        std::string text = modelText(model);
        writer.bytes(model.file, std::vector<uint8_t>(text.begin(), text.end()));
        tiles.push_back({model.file, renderModel(model, plants.textures, 384)});
    }

    if (!options.preview.empty()) {
        Image sheet = makeContactSheet(tiles, 200, 8);
        if (!writePng(options.preview, sheet))
            writer.failed = true;
    }
    if (!options.relief.empty()) {
        Image relief = makeRelief(masterHeights, masterSize, maps.base, lightmap);
        if (!writePng(options.relief, relief))
            writer.failed = true;
    }

    if (!options.view.empty()) {
        // The start script's view: on the 257 map from (60, 200), turned 35
        // degrees toward +x and 8 degrees down; on other sizes from the same
        // spot of the land.
        const int size = options.viewSize;
        std::vector<uint8_t> heights = fieldToBytes(heightsOf(size), false);
        std::vector<uint8_t> lightGrid = fieldToBytes(resampleField(light, size), true);
        std::vector<uint8_t> density = fieldToBytes(resampleField(land.density, size), true);
        ViewScene scene;
        scene.size = size;
        scene.heights = &heights;
        scene.lightGrid = &lightGrid;
        scene.distribution = &density;
        scene.layer1 = &twig;
        scene.layer1Cover = &maps.leaves;
        scene.layer2 = &sandDetail;
        scene.layer2Cover = &maps.sand;
        scene.lightmap = &lightmap;
        scene.sky = &sky;
        scene.plants = &plants;
        ViewCamera camera;
        camera.x *= (size - 1) / 256.0f;
        camera.z *= (size - 1) / 256.0f;
        Image picture = renderView(scene, camera, 1024, 768);
        if (!writePng(options.view, picture))
            writer.failed = true;
    }

    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (writer.failed) {
        std::fprintf(stderr, "scenegen: failed; %d files written to %s\n", writer.written, options.out.c_str());
        return 1;
    }
    std::printf("scenegen: %s%sseed %u, %d files written to %s in %.1f s\n", importing ? options.import.file.c_str() : "",
                importing ? ", " : "", seed, writer.written, options.out.c_str(),
                seconds);
    return 0;
}
