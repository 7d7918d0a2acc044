// ScenegenTest.cpp -- checks of the scene files that scenegen writes.
//
// Runs the built scenegen (beside the program in the build folder) with a
// small size set into cached folders under test-output/, and reads the
// results with readers of its own: RAW grids, the TGA subset the viewer
// accepts, and the plant model files line by line the way the viewer's line
// scanner reads them. It also checks the default scene the build wrote
// beside the program (all four sizes).
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path binaryDir = MORVISTA_BINARY_DIR;
const fs::path scenegen = binaryDir / "scenegen";

std::vector<uint8_t> readBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string shellQuote(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs scenegen with `arguments`; returns its exit code, with its output in `output`.
int runScenegen(const std::string& arguments, std::string& output)
{
    fs::path log = fs::temp_directory_path() / ("scenegen-test-" + std::to_string(getpid()) + ".log");
    std::string command = shellQuote(scenegen.string()) + " " + arguments + " > " + shellQuote(log.string()) + " 2>&1";
    int status = std::system(command.c_str());
    std::vector<uint8_t> text = readBytes(log);
    output.assign(text.begin(), text.end());
    fs::remove(log);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A generated scene folder, made once per scenegen build and reused by every
// test process (each test case runs in its own process). A run goes to a
// private folder first and is renamed into place, so tests running at the
// same time never see half a scene.
fs::path generatedScene(const std::string& name, const std::string& arguments)
{
    std::error_code error;
    auto stamp = (unsigned long long)fs::last_write_time(scenegen, error).time_since_epoch().count();
    std::string key = std::to_string(fs::file_size(scenegen, error)) + "-" + std::to_string(stamp);
    fs::path root = binaryDir / "test-output" / "scenegen";
    fs::path folder = root / (name + "-" + key);
    if (fs::exists(folder / "complete"))
        return folder;
    fs::create_directories(root);
    // Folders made by an older scenegen are of no further use.
    for (const auto& entry : fs::directory_iterator(root, error))
        if (entry.path().filename().string().find(key) == std::string::npos)
            fs::remove_all(entry.path(), error);
    fs::path work = root / (name + "-" + key + ".work" + std::to_string(getpid()));
    fs::remove_all(work);
    std::string output;
    int code = runScenegen(arguments + " --out " + shellQuote(work.string()), output);
    if (code != 0) {
        ADD_FAILURE() << "scenegen " << arguments << " failed with " << code << ": " << output;
        return work; // not kept for later tests
    }
    std::ofstream(work / "complete") << "done\n";
    fs::rename(work, folder, error);
    if (error)
        fs::remove_all(work); // another test process finished the same run first
    return folder;
}

const std::vector<int> smallSizes = {129, 257};
const char* const smallRun = "--seed 7 --sizes 129,257";

fs::path firstRun() { return generatedScene("seed7-a", smallRun); }
fs::path secondRun() { return generatedScene("seed7-b", smallRun); }

std::string distributionName(int size)
{
    return size == 129 ? "grassdist2.raw" : "grassdist2_" + std::to_string(size) + ".raw";
}

const std::vector<std::string> sharedFiles = {
    "twig01ar.tga",   "sbend1010.tga",  "leavesm1.tga",   "tmsand10a.tga", "sandm1.tga",     "lightmap.tga",
    "load.tga",       "SKY 20 1.tga",   "SKY 20 2.tga",   "SKY 20 3.tga",  "SKY 20 4.tga",   "SKY 20 5.tga",
    "black.tga",      "fern.xml",       "towergrass.xml", "grasscross.xml", "grassbill.xml", "broad01.xml",
    "broad16.xml",    "palm01.xml",     "bboy.xml",       "spear.xml",     "flower8.xml",    "flower6.xml",
    "font.tga",
};

std::vector<std::string> sizeFiles(int size)
{
    std::string n = std::to_string(size);
    return {"height" + n + ".raw", "height" + n + "lm2.raw", distributionName(size)};
}

// ---------------------------------------------------------------- TGA

struct Tga {
    bool ok = false;
    std::string problem;
    int width = 0, height = 0, bits = 0, type = 0;
    std::vector<uint8_t> pixels; // as stored: B G R (A) or grey, first row first
    std::array<int, 4> at(int x, int y) const
    {
        const uint8_t* p = &pixels[((size_t)y * width + x) * (bits / 8)];
        if (bits == 8)
            return {p[0], p[0], p[0], 255};
        return {p[2], p[1], p[0], bits == 32 ? p[3] : 255};
    }
};

bool powerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

// Reads a TGA the way the viewer accepts it: no colour map, type 2 or 3,
// 8, 24 or 32 bits, power-of-two sides. Also insists on no image ID (the
// viewer would not skip it) and on exactly the pixel bytes after the header.
Tga readTga(const fs::path& path)
{
    Tga tga;
    std::vector<uint8_t> data = readBytes(path);
    if (data.size() < 18) {
        tga.problem = "shorter than a header";
        return tga;
    }
    tga.type = data[2];
    tga.width = data[12] + 256 * data[13];
    tga.height = data[14] + 256 * data[15];
    tga.bits = data[16];
    if (data[0] != 0)
        tga.problem = "has an image ID";
    else if (data[1] != 0)
        tga.problem = "has a colour map";
    else if (tga.type != 2 && tga.type != 3)
        tga.problem = "image type " + std::to_string(tga.type);
    else if (tga.bits != 8 && tga.bits != 24 && tga.bits != 32)
        tga.problem = std::to_string(tga.bits) + " bits per pixel";
    else if (!powerOfTwo(tga.width) || !powerOfTwo(tga.height))
        tga.problem = "sides " + std::to_string(tga.width) + " x " + std::to_string(tga.height);
    else if (data.size() != 18 + (size_t)tga.width * tga.height * tga.bits / 8)
        tga.problem = "file size " + std::to_string(data.size()) + " does not match its header";
    if (!tga.problem.empty())
        return tga;
    tga.pixels.assign(data.begin() + 18, data.end());
    tga.ok = true;
    return tga;
}

// ---------------------------------------------------------------- models

// One model file read as the viewer's scanner reads it: one element per
// line, attributes on the opening line, counts on the opening lines.
struct ModelCheck {
    std::vector<std::string> problems;
    std::set<std::string> textures;
    int polygons = 0;
};

std::string attribute(const std::string& line, const std::string& name, bool& found)
{
    std::string key = " " + name + "=\"";
    size_t at = line.find(key);
    found = at != std::string::npos;
    if (!found)
        return "";
    size_t start = at + key.size();
    size_t end = line.find('"', start);
    return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

int countNumbers(const std::string& value)
{
    std::istringstream in(value);
    double number;
    int count = 0;
    while (in >> number)
        count++;
    return in.eof() ? count : -1;
}

ModelCheck checkModel(const fs::path& path)
{
    ModelCheck check;
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos)
            continue;
        if (line.size() >= 511)
            check.problems.push_back("line longer than the reader's buffer");
        lines.push_back(line.substr(first));
    }
    auto fail = [&](size_t i, const std::string& what) {
        check.problems.push_back("line " + std::to_string(i + 1) + ": " + what);
    };
    bool found;
    size_t i = 0;
    if (lines.empty() || lines[0].rfind("<ObjectList ", 0) != 0) {
        fail(0, "does not start with <ObjectList");
        return check;
    }
    int objects = std::atoi(attribute(lines[0], "numObject", found).c_str());
    if (!found || objects <= 0)
        fail(0, "no positive numObject");
    std::string alpha = attribute(lines[0], "alpha", found);
    if (found && countNumbers(alpha) != 1)
        fail(0, "alpha is not one number");
    std::string scale = attribute(lines[0], "scale", found);
    if (found && countNumbers(scale) != 3)
        fail(0, "scale is not three numbers");
    std::string rotation = attribute(lines[0], "rotation", found);
    if (found && countNumbers(rotation) != 4)
        fail(0, "rotation is not four numbers");
    i = 1;
    int objectCount = 0;
    while (i < lines.size() && lines[i].rfind("<Object ", 0) == 0) {
        int polygons = std::atoi(attribute(lines[i], "numPolygon", found).c_str());
        if (!found || polygons <= 0)
            fail(i, "Object without a positive numPolygon");
        i++;
        int polygonCount = 0;
        std::set<std::string> objectTextures;
        bool seenUntextured = false, anyQuadOrMore = false;
        while (i < lines.size() && lines[i].rfind("<Polygon ", 0) == 0) {
            const std::string& open = lines[i];
            int vertices = std::atoi(attribute(open, "numVertex", found).c_str());
            if (!found || (vertices != 3 && vertices != 4))
                fail(i, "numVertex is not 3 or 4 (the viewer draws nothing else)");
            bool textured = attribute(open, "isTextured", found) == "1";
            if (!found)
                fail(i, "Polygon without isTextured");
            std::string texture = attribute(open, "texture", found);
            if (textured && texture.empty())
                fail(i, "textured Polygon without a texture");
            if (textured) {
                if (seenUntextured)
                    fail(i, "textured polygon after an untextured one (it would draw with a stale texture)");
                check.textures.insert(texture);
            } else {
                seenUntextured = true;
            }
            objectTextures.insert(textured ? texture : std::string());
            if (countNumbers(attribute(open, "colour", found)) != 3 || !found)
                fail(i, "Polygon colour is not three numbers");
            anyQuadOrMore = anyQuadOrMore || vertices > 3;
            i++;
            int vertexCount = 0;
            while (i < lines.size() && lines[i].rfind("<Vertex ", 0) == 0) {
                const std::string& v = lines[i];
                const std::pair<const char*, int> fields[] = {{"point", 3}, {"normal", 3}, {"colour", 3}, {"uv", 2}};
                for (const auto& [name, count] : fields)
                    if (countNumbers(attribute(v, name, found)) != count || !found)
                        fail(i, std::string("Vertex ") + name + " is not " + std::to_string(count) + " numbers");
                if (v.find("/>") == std::string::npos)
                    fail(i, "Vertex is not closed on its line");
                vertexCount++;
                i++;
            }
            if (vertexCount != vertices)
                fail(i, "numVertex " + std::to_string(vertices) + " but " + std::to_string(vertexCount) + " vertices");
            if (i >= lines.size() || lines[i] != "</Polygon>")
                fail(i, "Polygon not closed");
            i++;
            polygonCount++;
        }
        if (polygonCount != polygons)
            fail(i, "numPolygon " + std::to_string(polygons) + " but " + std::to_string(polygonCount) + " polygons");
        // One texture for every polygon: the viewer draws each polygon as
        // the triangle of its first three vertices, so quads would lose half.
        if (objectTextures.size() == 1 && anyQuadOrMore)
            fail(i, "single-texture object has polygons with more than three vertices");
        if (i >= lines.size() || lines[i] != "</Object>")
            fail(i, "Object not closed");
        i++;
        objectCount++;
        check.polygons += polygonCount;
    }
    if (objectCount != objects)
        fail(i, "numObject " + std::to_string(objects) + " but " + std::to_string(objectCount) + " objects");
    if (i >= lines.size() || lines[i] != "</ObjectList>")
        fail(i, "ObjectList not closed");
    else if (i + 1 != lines.size())
        fail(i + 1, "text after </ObjectList>");
    return check;
}

// ---------------------------------------------------------------- sky box

// The viewer's sky box: per face, four corners as (s, t) and the box side
// (0 low, 1 high) on x, y, z.
struct SkyCorner {
    float s, t;
    int x, y, z;
};
const SkyCorner skyTable[6][4] = {
    {{1, 0, 1, 0, 0}, {1, 1, 1, 1, 0}, {0, 1, 0, 1, 0}, {0, 0, 0, 0, 0}},
    {{1, 0, 0, 0, 1}, {1, 1, 0, 1, 1}, {0, 1, 1, 1, 1}, {0, 0, 1, 0, 1}},
    {{1, 0, 0, 0, 0}, {1, 1, 0, 0, 1}, {0, 1, 1, 0, 1}, {0, 0, 1, 0, 0}},
    {{0, 1, 1, 1, 0}, {0, 0, 1, 1, 1}, {1, 0, 0, 1, 1}, {1, 1, 0, 1, 0}},
    {{1, 1, 0, 1, 0}, {0, 1, 0, 1, 1}, {0, 0, 0, 0, 1}, {1, 0, 0, 0, 0}},
    {{0, 0, 1, 0, 0}, {1, 0, 1, 0, 1}, {1, 1, 1, 1, 1}, {0, 1, 1, 1, 0}},
};
const char* const skyFiles[6] = {"SKY 20 3.tga", "SKY 20 1.tga", "black.tga",
                                 "SKY 20 5.tga", "SKY 20 2.tga", "SKY 20 4.tga"};

bool sameCorner(const SkyCorner& a, const SkyCorner& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

} // namespace

TEST(Scenegen, WritesEveryFileWithExactGridSizes)
{
    struct Case {
        fs::path folder;
        std::vector<int> sizes;
    };
    const Case cases[] = {{firstRun(), smallSizes}, {binaryDir, {129, 257, 513, 1025}}};
    for (const Case& c : cases) {
        for (const std::string& name : sharedFiles)
            EXPECT_TRUE(fs::exists(c.folder / name)) << c.folder / name;
        for (int size : c.sizes)
            for (const std::string& name : sizeFiles(size))
                EXPECT_EQ(fs::exists(c.folder / name) ? fs::file_size(c.folder / name) : 0, (uintmax_t)size * size)
                    << c.folder / name;
    }
    // Sizes not asked for are not written.
    EXPECT_FALSE(fs::exists(firstRun() / "height513.raw"));
}

TEST(Scenegen, HeightsUseMostOfTheRangeAndMapsCarryPatches)
{
    for (int size : {129, 257, 513, 1025}) {
        SCOPED_TRACE("size " + std::to_string(size));
        std::string n = std::to_string(size);
        std::vector<uint8_t> heights = readBytes(binaryDir / ("height" + n + ".raw"));
        std::vector<uint8_t> light = readBytes(binaryDir / ("height" + n + "lm2.raw"));
        std::vector<uint8_t> density = readBytes(binaryDir / distributionName(size));
        ASSERT_EQ(heights.size(), (size_t)size * size);
        ASSERT_EQ(light.size(), heights.size());
        ASSERT_EQ(density.size(), heights.size());
        auto [low, high] = std::minmax_element(heights.begin(), heights.end());
        EXPECT_LE(*low, 20) << "lowest ground";
        EXPECT_GE(*high, 220) << "highest peak";
        // Lit faces and shadows both occur.
        auto [dark, bright] = std::minmax_element(light.begin(), light.end());
        EXPECT_LE(*dark, 120);
        EXPECT_GE(*bright, 230);
        // Plants grow in patches: a good share of the map is bare, a good
        // share carries plants, and the mean density is moderate.
        size_t bare = std::count(density.begin(), density.end(), 0);
        size_t dense = std::count_if(density.begin(), density.end(), [](uint8_t v) { return v >= 128; });
        double mean = 0;
        for (uint8_t v : density)
            mean += v / 255.0;
        mean /= density.size();
        EXPECT_GT(bare, density.size() / 20) << "bare share";
        EXPECT_GT(dense, density.size() / 10) << "dense share";
        EXPECT_GT(mean, 0.1);
        EXPECT_LT(mean, 0.7);
    }
}

TEST(Scenegen, SameSeedGivesIdenticalFilesAndAnotherSeedAnotherScene)
{
    fs::path a = firstRun(), b = secondRun();
    size_t compared = 0;
    for (const auto& entry : fs::directory_iterator(a)) {
        std::string name = entry.path().filename().string();
        if (name == "complete")
            continue;
        EXPECT_TRUE(readBytes(entry.path()) == readBytes(b / name)) << name << " differs between two runs";
        compared++;
    }
    EXPECT_GE(compared, sharedFiles.size());

    fs::path other = generatedScene("seed8", "--seed 8 --sizes 129");
    EXPECT_NE(readBytes(a / "height129.raw"), readBytes(other / "height129.raw"));
    EXPECT_NE(readBytes(a / "fern.xml"), readBytes(other / "fern.xml"));
}

TEST(Scenegen, EveryPictureIsATgaTheViewerAccepts)
{
    fs::path folder = firstRun();
    std::map<std::string, int> expectedBits = {{"twig01ar.tga", 24}, {"sbend1010.tga", 24}, {"leavesm1.tga", 24},
                                               {"tmsand10a.tga", 24}, {"sandm1.tga", 24},   {"lightmap.tga", 24},
                                               {"load.tga", 24},      {"font.tga", 8}};
    for (const char* sky : skyFiles)
        expectedBits[sky] = 24;
    int tgaCount = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != ".tga")
            continue;
        std::string name = entry.path().filename().string();
        Tga tga = readTga(entry.path());
        EXPECT_TRUE(tga.ok) << name << ": " << tga.problem;
        auto expected = expectedBits.find(name);
        // Plant textures are alpha cut-outs: 32 bits with both clear and solid texels.
        int bits = expected != expectedBits.end() ? expected->second : 32;
        EXPECT_EQ(tga.bits, bits) << name;
        if (tga.ok && bits == 32) {
            int clear = 0, solid = 0;
            for (int y = 0; y < tga.height; y++) {
                for (int x = 0; x < tga.width; x++) {
                    int alpha = tga.at(x, y)[3];
                    clear += alpha == 0;
                    solid += alpha == 255;
                }
            }
            EXPECT_GT(clear, tga.width * tga.height / 10) << name;
            EXPECT_GT(solid, tga.width * tga.height / 20) << name;
        }
        tgaCount++;
    }
    EXPECT_GE(tgaCount, (int)expectedBits.size() + 11);
}

// The viewer cuts glyphs out of font.tga by a fixed layout: 16 x 8 cells of
// 8 x 16 pixels, code c in column c % 16 and row c / 16 from the top, each
// glyph's 5 x 9 ink 1 pixel from the cell's left and 3 from its top.
TEST(Scenegen, GlyphSheetHoldsEachCharacterInItsCell)
{
    Tga font = readTga(firstRun() / "font.tga");
    ASSERT_TRUE(font.ok) << font.problem;
    ASSERT_EQ(font.width, 128);
    ASSERT_EQ(font.height, 128);
    // Rows are stored bottom first.
    auto ink = [&](int code, int column, int row) {
        int x = (code % 16) * 8 + 1 + column, yFromTop = (code / 16) * 16 + 3 + row;
        return font.at(x, 127 - yFromTop)[0];
    };
    // 'A': the top row lit in columns 1-3, the middle row in all five.
    EXPECT_EQ(ink('A', 0, 0), 0);
    for (int column = 1; column <= 3; column++)
        EXPECT_EQ(ink('A', column, 0), 255) << column;
    EXPECT_EQ(ink('A', 4, 0), 0);
    for (int column = 0; column < 5; column++)
        EXPECT_EQ(ink('A', column, 3), 255) << column;
    // 'g' reaches into the descender rows; '1' is a single stroke.
    EXPECT_EQ(ink('g', 1, 8), 255);
    EXPECT_EQ(ink('1', 2, 3), 255);
    EXPECT_EQ(ink('1', 0, 3), 0);
    int lit = 0, other = 0;
    for (uint8_t value : font.pixels) {
        lit += value == 255;
        other += value != 0 && value != 255;
    }
    EXPECT_EQ(other, 0) << "sharp glyphs: every pixel 0 or 255";
    EXPECT_GT(lit, 80 * 8) << "every printable character has ink";
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 8; x++)
            EXPECT_EQ(font.at(x, 127 - (32 + y))[0], 0) << "the blank's cell is empty";
}

TEST(Scenegen, ModelsAreWellFormedAndTheirTexturesSitBesideThem)
{
    fs::path folder = firstRun();
    for (const std::string& name : sharedFiles) {
        if (fs::path(name).extension() != ".xml")
            continue;
        SCOPED_TRACE(name);
        ModelCheck check = checkModel(folder / name);
        for (const std::string& problem : check.problems)
            ADD_FAILURE() << problem;
        EXPECT_GT(check.polygons, 0);
        for (const std::string& texture : check.textures) {
            // Plain names: the viewer resolves them against the model's folder
            // split at backslashes only, and its scanner must not mistake a
            // name for another attribute.
            EXPECT_EQ(texture.find_first_of("/\\"), std::string::npos) << texture;
            for (const char* keyword : {"alpha", "scale", "rotation", "Object", "Polygon", "Vertex", "colour", "num"})
                EXPECT_EQ(texture.find(keyword), std::string::npos) << texture;
            Tga tga = readTga(folder / texture);
            EXPECT_TRUE(tga.ok) << texture << ": " << tga.problem;
            EXPECT_EQ(tga.bits, 32) << texture;
        }
    }
}

TEST(Scenegen, ModelCheckerCatchesBrokenFiles)
{
    // The checker above guards the real models; each small broken model here
    // must make it report the fault named beside it.
    const std::string vertex = "<Vertex point=\"0 0 0\" normal=\"0 0 1\" colour=\"255 255 255\" uv=\"0 0\"/>\n";
    const std::string three = vertex + vertex + vertex;
    const std::string textured = "<Polygon numVertex=\"3\" isTextured=\"1\" texture=\"a.tga\" colour=\"255 255 255\">\n";
    const std::string head = "<ObjectList numObject=\"1\">\n<Object numPolygon=\"1\">\n";
    const std::string tail = "</Polygon>\n</Object>\n</ObjectList>\n";
    const std::pair<std::string, const char*> cases[] = {
        {"<ObjectList numObject=\"2\">\n<Object numPolygon=\"1\">\n" + textured + three + tail,
         "numObject 2 but 1 objects"},
        {head + textured + vertex + vertex + tail, "numVertex 3 but 2 vertices"},
        {head + "<Polygon numVertex=\"4\" isTextured=\"1\" texture=\"a.tga\" colour=\"255 255 255\">\n" + three +
             vertex + tail,
         "single-texture object has polygons with more than three vertices"},
        {"<ObjectList numObject=\"1\">\n<Object numPolygon=\"2\">\n<Polygon numVertex=\"3\" isTextured=\"0\" "
         "colour=\"-1 0 0\">\n" +
             three + "</Polygon>\n" + textured + three + tail,
         "textured polygon after an untextured one"},
        {head + textured + three + "</Polygon>\n</ObjectList>\n", "Object not closed"},
    };
    fs::path file = fs::temp_directory_path() / ("scenegen-model-" + std::to_string(getpid()) + ".xml");
    for (const auto& [text, fault] : cases) {
        std::ofstream(file) << text;
        ModelCheck check = checkModel(file);
        bool reported = false;
        for (const std::string& problem : check.problems)
            reported = reported || problem.find(fault) != std::string::npos;
        EXPECT_TRUE(reported) << "should report: " << fault;
    }
    fs::remove(file);
}

TEST(Scenegen, SkyFacesMeetWithoutSeams)
{
    fs::path folder = firstRun();
    Tga faces[6];
    for (int f = 0; f < 6; f++) {
        faces[f] = readTga(folder / skyFiles[f]);
        ASSERT_TRUE(faces[f].ok) << skyFiles[f] << ": " << faces[f].problem;
    }
    // Edges are the corner pairs two faces share; walk each edge and compare
    // the edge texels of both faces at the same point of the box.
    const int steps = 64;
    const int tolerance = 10; // levels per channel: the faces sample points one texel apart
    int edges = 0;
    for (int f = 0; f < 6; f++) {
        for (int g = f + 1; g < 6; g++) {
            std::vector<std::pair<int, int>> shared; // corner index in f, in g
            for (int i = 0; i < 4; i++)
                for (int j = 0; j < 4; j++)
                    if (sameCorner(skyTable[f][i], skyTable[g][j]))
                        shared.push_back({i, j});
            if (shared.size() != 2)
                continue;
            edges++;
            int worst = 0;
            for (int k = 0; k < steps; k++) {
                float along = (k + 0.5f) / steps;
                auto texel = [&](int face, int c0, int c1) {
                    const SkyCorner &a = skyTable[face][c0], &b = skyTable[face][c1];
                    float s = a.s + (b.s - a.s) * along, t = a.t + (b.t - a.t) * along;
                    const Tga& image = faces[face];
                    int x = std::clamp((int)(s * image.width), 0, image.width - 1);
                    int y = std::clamp((int)(t * image.height), 0, image.height - 1);
                    return image.at(x, y);
                };
                auto p = texel(f, shared[0].first, shared[1].first);
                auto q = texel(g, shared[0].second, shared[1].second);
                for (int c = 0; c < 3; c++)
                    worst = std::max(worst, std::abs(p[c] - q[c]));
            }
            EXPECT_LE(worst, tolerance) << "edge between " << skyFiles[f] << " and " << skyFiles[g];
        }
    }
    EXPECT_EQ(edges, 12);
}

TEST(Scenegen, CoverageMapsAddUpToFullBrightness)
{
    fs::path folder = firstRun();
    Tga leaves = readTga(folder / "leavesm1.tga"), sand = readTga(folder / "sandm1.tga");
    ASSERT_TRUE(leaves.ok && sand.ok);
    ASSERT_EQ(leaves.width, sand.width);
    ASSERT_EQ(leaves.height, sand.height);
    size_t off = 0, pixels = (size_t)leaves.width * leaves.height;
    double leafShare = 0;
    for (int y = 0; y < leaves.height; y++) {
        for (int x = 0; x < leaves.width; x++) {
            auto a = leaves.at(x, y), b = sand.at(x, y);
            for (int c = 0; c < 3; c++)
                off += std::abs(a[c] + b[c] - 255) > 12;
            leafShare += a[1] / 255.0;
        }
    }
    EXPECT_LT(off, pixels / 100) << "texels whose two layers do not add up to about 255";
    leafShare /= pixels;
    // Both layers show: the forest floor where plants grow, sand elsewhere.
    EXPECT_GT(leafShare, 0.3);
    EXPECT_LT(leafShare, 0.95);
}

TEST(Scenegen, RejectsBadArgumentsWithAReason)
{
    const std::pair<const char*, const char*> cases[] = {
        {"--sizes 300", "300"},
        {"--seed -1", "--seed"},
        {"--colour red", "unknown option --colour"},
        {"--out", "--out needs a value"},
    };
    for (const auto& [arguments, reason] : cases) {
        std::string output;
        EXPECT_EQ(runScenegen(arguments, output), 2) << arguments;
        EXPECT_NE(output.find(reason), std::string::npos) << arguments << " printed: " << output;
    }
}

// Highest point and reach from the vertical axis of every vertex of a model.
struct ModelExtent {
    float top = 0, reach = 0;
};

ModelExtent modelExtent(const fs::path& path)
{
    ModelExtent extent;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        size_t at = line.find("point=\"");
        if (at == std::string::npos)
            continue;
        float x = 0, y = 0, z = 0;
        if (std::sscanf(line.c_str() + at + 7, "%f %f %f", &x, &y, &z) != 3)
            continue;
        extent.top = std::max(extent.top, y);
        extent.reach = std::max(extent.reach, std::max(std::fabs(x), std::fabs(z)));
    }
    return extent;
}

TEST(Scenegen, GrassCardsArePicturesOfTheFullClump)
{
    fs::path folder = firstRun();
    ModelExtent clump = modelExtent(folder / "towergrass.xml");
    ASSERT_GT(clump.top, 0.5f);
    for (const char* card : {"grassbill.xml", "grasscross.xml"}) {
        ModelExtent extent = modelExtent(folder / card);
        EXPECT_NEAR(extent.top, clump.top, 1e-3f) << card << " as tall as the clump";
        EXPECT_NEAR(extent.reach, clump.reach, 1e-3f) << card << " as wide as the clump's footprint";
    }
    Tga bill = readTga(folder / "grassbill.tga");
    Tga cross = readTga(folder / "grasscross.tga");
    ASSERT_TRUE(bill.ok && cross.ok);
    ASSERT_EQ(cross.width, 2 * bill.width) << "the crossed card's texture holds two views";
    ASSERT_EQ(cross.height, bill.height);
    // The billboard's blades stand on the bottom row and the tallest reaches
    // the top; the crossed card's first view is the billboard's, its second
    // view another.
    int lowest = bill.height, highest = -1, opaque = 0, sameAsBill = 0, sameAcross = 0;
    for (int y = 0; y < bill.height; y++) {
        for (int x = 0; x < bill.width; x++) {
            bool solid = bill.at(x, y)[3] > 127;
            if (solid) {
                lowest = std::min(lowest, y);
                highest = std::max(highest, y);
                opaque++;
            }
            // Colours of transparent texels are bled from neighbours and may differ.
            sameAsBill += bill.at(x, y)[3] == cross.at(x, y)[3] && (!solid || bill.at(x, y) == cross.at(x, y));
            sameAcross += (cross.at(x, y)[3] > 127) == (cross.at(bill.width + x, y)[3] > 127);
        }
    }
    int texels = bill.width * bill.height;
    EXPECT_LE(lowest, bill.height / 50);
    EXPECT_GE(highest, bill.height - bill.height / 20);
    EXPECT_GT(opaque, texels / 20) << "blades, not a few specks";
    EXPECT_LT(opaque, texels / 2) << "a clump of blades, not a solid card";
    EXPECT_EQ(sameAsBill, texels);
    EXPECT_LT(sameAcross, texels * 98 / 100) << "the second rectangle shows the clump from the side";
}
