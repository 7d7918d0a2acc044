// ModelLoaderTest.cpp -- reading plant model files, well-formed and not.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "vegetation/modelLoader.h"

namespace {

// A registry stand-in: one name per distinct file, from 51 up, and the
// order of the requests.
std::map<std::string, unsigned> registeredTextures;
std::vector<std::string> textureRequests;

unsigned fakeTexture(const char* fileName) {
    textureRequests.push_back(fileName);
    auto found = registeredTextures.find(fileName);
    if (found != registeredTextures.end()) return found->second;
    unsigned name = 51 + static_cast<unsigned>(registeredTextures.size());
    registeredTextures[fileName] = name;
    return name;
}

const char* minimalModel =
    "<ObjectList numObject=\"1\" rotation=\"90 1 0 0\">\n"
    "  <Object numPolygon=\"1\">\n"
    "    <Polygon numVertex=\"3\" isTextured=\"1\" texture=\"leaf.tga\" colour=\"10 20 30\">\n"
    "      <Vertex point=\"0 0 0\" normal=\"0 1 0\" colour=\"1 2 3\" uv=\"0 0\"/>\n"
    "      <Vertex point=\"1 0 0\" normal=\"0 1 0\" colour=\"4 5 6\" uv=\"1 0\"/>\n"
    "      <Vertex point=\"0 2 -1\" normal=\"0 0 1\" colour=\"7 8 9\" uv=\"0 1\"/>\n"
    "    </Polygon>\n"
    "  </Object>\n"
    "</ObjectList>\n";

// A triangle polygon element with the given texture and x coordinates.
std::string triangle(const std::string& texture, float x0, float x1) {
    std::string attributes = texture.empty() ? "" : " isTextured=\"1\" texture=\"" + texture + "\"";
    return "<Polygon numVertex=\"3\"" + attributes + ">\n" +
           "<Vertex point=\"" + std::to_string(x0) + " 0 0\" normal=\"0 1 0\" colour=\"255 255 255\" uv=\"0 0\"/>\n" +
           "<Vertex point=\"" + std::to_string(x1) + " 1 0\" normal=\"0 1 0\" colour=\"255 255 255\" uv=\"1 0\"/>\n" +
           "<Vertex point=\"" + std::to_string(x0) + " 0 1\" normal=\"0 1 0\" colour=\"255 255 255\" uv=\"0 1\"/>\n" +
           "</Polygon>\n";
}

class ModelLoader : public ::testing::Test {
protected:
    std::string directory;
    std::deque<ObjectList> loaded;  // stable addresses for the references handed out

    void SetUp() override {
        char pattern[] = "/tmp/morvista-models-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
        registeredTextures.clear();
        textureRequests.clear();
        modelTextureSource = fakeTexture;
    }

    void TearDown() override {
        for (ObjectList& model : loaded) releaseObjectList(model);
        std::string command = "rm -rf '" + directory + "'";
        (void)!system(command.c_str());
    }

    std::string write(const std::string& name, const std::string& text) {
        std::string path = directory + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    ObjectList& load(const std::string& text, const std::string& name = "model.xml") {
        loaded.push_back(loadObjectList(write(name, text).c_str()));
        return loaded.back();
    }
};

// Every array a drawing pass may read is there for each vertex counted.
void expectReadable(const ObjectList& model) {
    ASSERT_GE(model.numObject, 0);
    if (model.numObject > 0) {
        ASSERT_NE(model.objects, nullptr);
    }
    int total = 0;
    for (int o = 0; o < model.numObject; ++o) {
        const Object& object = model.objects[o];
        total += object.numPolygon;
        for (int p = 0; p < object.numPolygon; ++p) {
            const Polygon& polygon = object.polygons[p];
            ASSERT_GE(polygon.numVertex, 0);
            ASSERT_LE(polygon.numVertex, maxModelVertices);
            float sum = 0.0f;
            for (int v = 0; v < polygon.numVertex; ++v) {
                sum += polygon.points[3 * v + 2] + polygon.normals[3 * v + 2] + polygon.uvs[2 * v + 1];
                sum += static_cast<float>(polygon.colours[3 * v + 2]);
            }
            (void)sum;
        }
    }
    EXPECT_EQ(model.polygonTotal, total);
}

}  // namespace

TEST_F(ModelLoader, ReadsTheNineLineMinimalModel) {
    ObjectList& model = load(minimalModel);
    ASSERT_EQ(model.numObject, 1);
    EXPECT_EQ(model.isRotated, 1);
    EXPECT_FLOAT_EQ(model.rotation[0], 90.0f);
    EXPECT_EQ(model.isScaled, 0);
    EXPECT_EQ(model.hasAlpha, 0);
    EXPECT_EQ(model.polygonTotal, 1);
    const Object& object = model.objects[0];
    ASSERT_EQ(object.numPolygon, 1);
    EXPECT_EQ(object.listBuilt, 0);
    EXPECT_EQ(object.sameTexture, 1);
    const Polygon& polygon = object.polygons[0];
    ASSERT_EQ(polygon.numVertex, 3);
    EXPECT_EQ(polygon.isTextured, 1);
    EXPECT_EQ(polygon.texture, 51u);
    EXPECT_EQ(object.texture, 51u);
    EXPECT_EQ(polygon.red, 10);
    EXPECT_EQ(polygon.green, 20);
    EXPECT_EQ(polygon.blue, 30);
    const float points[9] = {0, 0, 0, 1, 0, 0, 0, 2, -1};
    const int colours[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    for (int i = 0; i < 9; ++i) {
        EXPECT_FLOAT_EQ(polygon.points[i], points[i]) << "coordinate " << i;
        EXPECT_EQ(polygon.colours[i], colours[i]) << "colour component " << i;
    }
    EXPECT_FLOAT_EQ(polygon.normals[8], 1.0f);
    EXPECT_FLOAT_EQ(polygon.uvs[5], 1.0f);
    EXPECT_FLOAT_EQ(model.minY, 0.0f);
    EXPECT_FLOAT_EQ(model.maxY, 2.0f);
    EXPECT_FLOAT_EQ(model.minZ, -1.0f);
    EXPECT_FLOAT_EQ(model.boundsSet, 1.0f);
    // The file name has no backslash: textures come from the working directory.
    EXPECT_STREQ(modelDirectory, "");
    ASSERT_EQ(textureRequests.size(), 1u);
    EXPECT_EQ(textureRequests[0], "leaf.tga");
}

TEST_F(ModelLoader, ObjectListLineWithOrWithoutRotationGivesTheSameObjects) {
    std::string body = "<Object numPolygon=\"1\">\n" + triangle("", -1, 2) + "</Object>\n" +
                       "<Object numPolygon=\"2\">\n" + triangle("", 0, 1) + triangle("", 3, 4) + "</Object>\n" +
                       "</ObjectList>\n";
    ObjectList& rotated = load("<ObjectList numObject=\"2\" alpha=\"0.4\" rotation=\"45 0 1 0\">\n" + body, "a.xml");
    ObjectList& plain = load("<ObjectList numObject=\"2\" alpha=\"0.4\" scale=\"2 2 2\">\n" + body, "b.xml");
    EXPECT_EQ(rotated.isRotated, 1);
    EXPECT_EQ(plain.isRotated, 0);
    EXPECT_EQ(plain.isScaled, 1);
    ASSERT_EQ(rotated.numObject, 2);
    ASSERT_EQ(plain.numObject, 2);
    for (int o = 0; o < 2; ++o) {
        ASSERT_EQ(rotated.objects[o].numPolygon, plain.objects[o].numPolygon) << "object " << o;
        EXPECT_FLOAT_EQ(rotated.objects[o].minX, plain.objects[o].minX) << "object " << o;
        EXPECT_FLOAT_EQ(rotated.objects[o].maxX, plain.objects[o].maxX) << "object " << o;
    }
    EXPECT_EQ(plain.polygonTotal, 3);
    EXPECT_FLOAT_EQ(plain.alpha, 0.4f);
}

TEST_F(ModelLoader, SameTextureIsKeptForOneTextureAndLostForASecond) {
    std::string two = "<ObjectList numObject=\"1\" rotation=\"0 0 1 0\">\n<Object numPolygon=\"2\">\n" +
                      triangle("leaf.tga", 0, 1) + triangle("leaf.tga", 1, 2) + "</Object>\n</ObjectList>\n";
    std::string three = "<ObjectList numObject=\"1\" rotation=\"0 0 1 0\">\n<Object numPolygon=\"3\">\n" +
                        triangle("leaf.tga", 0, 1) + triangle("leaf.tga", 1, 2) + triangle("bark.tga", 2, 3) +
                        "</Object>\n</ObjectList>\n";
    EXPECT_EQ(load(two, "two.xml").objects[0].sameTexture, 1);
    ObjectList& mixed = load(three, "three.xml");
    EXPECT_EQ(mixed.objects[0].sameTexture, 0);
    EXPECT_EQ(mixed.objects[0].texture, registeredTextures["leaf.tga"]);
}

TEST_F(ModelLoader, BoundsAreTheUnionOfTheObjects) {
    std::string text = "<ObjectList numObject=\"2\" rotation=\"0 0 1 0\">\n"
                       "<Object numPolygon=\"1\">\n" + triangle("", -2, 3) + "</Object>\n"
                       "<Object numPolygon=\"2\">\n" + triangle("", 1, 5) + triangle("", 2, 4) + "</Object>\n"
                       "</ObjectList>\n";
    ObjectList& model = load(text);
    EXPECT_FLOAT_EQ(model.objects[0].minX, -2.0f);
    EXPECT_FLOAT_EQ(model.objects[0].maxX, 3.0f);
    EXPECT_FLOAT_EQ(model.objects[1].minX, 1.0f);
    EXPECT_FLOAT_EQ(model.objects[1].maxX, 5.0f);
    EXPECT_FLOAT_EQ(model.minX, -2.0f);
    EXPECT_FLOAT_EQ(model.maxX, 5.0f);
    EXPECT_FLOAT_EQ(model.minY, 0.0f);
    EXPECT_FLOAT_EQ(model.maxY, 1.0f);
    EXPECT_EQ(model.polygonTotal, 3);
}

TEST_F(ModelLoader, TexturesComeFromTheDirectoryBeforeTheLastBackslash) {
    // On this system a backslash is an ordinary character of a file name,
    // so the file is literally called "plants\models\fern.xml".
    ObjectList& model = load(minimalModel, "plants\\models\\fern.xml");
    EXPECT_EQ(std::string(modelDirectory), directory + "/plants\\models\\");
    ASSERT_EQ(textureRequests.size(), 1u);
    EXPECT_EQ(textureRequests[0], directory + "/plants\\models\\leaf.tga");
    EXPECT_EQ(model.numObject, 1);
    // A forward slash does not separate directories.
    load(minimalModel, "forward.xml");
    EXPECT_STREQ(modelDirectory, "");
}

TEST_F(ModelLoader, ASecondModelRegistersOnlyItsNewTextures) {
    std::string first = "<ObjectList numObject=\"1\" rotation=\"0 0 1 0\">\n<Object numPolygon=\"2\">\n" +
                        triangle("a.tga", 0, 1) + triangle("b.tga", 0, 1) + "</Object>\n</ObjectList>\n";
    std::string second = "<ObjectList numObject=\"1\" rotation=\"0 0 1 0\">\n<Object numPolygon=\"2\">\n" +
                         triangle("b.tga", 0, 1) + triangle("c.tga", 0, 1) + "</Object>\n</ObjectList>\n";
    ObjectList& a = load(first, "first.xml");
    ObjectList& b = load(second, "second.xml");
    EXPECT_EQ(registeredTextures.size(), 3u);
    EXPECT_EQ(b.objects[0].polygons[0].texture, a.objects[0].polygons[1].texture);
    EXPECT_EQ(b.objects[0].polygons[1].texture, 53u);
}

TEST(ModelLoaderFile, MissingFileGivesAnEmptyModelAndTheProgramGoesOn) {
    ObjectList model = loadObjectList("/nonexistent-morvista-folder/absent.xml");
    EXPECT_EQ(model.numObject, 0);
    EXPECT_EQ(model.objects, nullptr);
}

// Malformed files: each loads without crashing, keeps only what is sound
// and gives every counted vertex readable values.
struct MalformedCase {
    const char* label;
    std::string text;
    int objects;       // numObject after loading
    int polygonTotal;
};

class MalformedModel : public ModelLoader, public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedModel, LoadsWithoutCrashing) {
    const MalformedCase& c = GetParam();
    ObjectList& model = load(c.text);
    expectReadable(model);
    EXPECT_EQ(model.numObject, c.objects);
    EXPECT_EQ(model.polygonTotal, c.polygonTotal);
}

namespace {

std::string head(int objects = 1) {
    return "<ObjectList numObject=\"" + std::to_string(objects) + "\" rotation=\"0 0 1 0\">\n";
}
const std::string oneTriangleObject = "<Object numPolygon=\"1\">\n" + triangle("", 0, 1) + "</Object>\n";
const std::string longText(20000, 'x');

// A Polygon line hidden behind a NUL byte, and bytes that are no text.
std::string binaryGarbage() {
    std::string text = "<ObjectList numObject=\"1\">\n<Object numPolygon=\"1\">\n";
    text += std::string("\x01\xff\0\x7f", 4);
    text += "<Polygon numVertex=\"3\">\n\xfe\xfe\n</ObjectList>\n";
    return text;
}

std::vector<MalformedCase> malformedCases() {
    std::string full = head() + oneTriangleObject + "</ObjectList>\n";
    return {
        {"empty", "", 0, 0},
        {"truncatedInsideObjectListLine", "<ObjectList numObj", 0, 0},
        {"truncatedAfterObjectListLine", head(), 0, 0},
        {"truncatedInsideObject", head() + "<Object numPolygon=\"1\">\n", 1, 0},
        {"truncatedInsidePolygon", full.substr(0, full.find("<Vertex point=\"1")), 1, 1},
        {"truncatedInsideVertex", full.substr(0, full.find("normal")), 1, 1},
        {"truncatedInsideAttributeValue", head() + "<Object numPolygon=\"1\">\n<Polygon numVertex=\"3\">\n"
                                          "<Vertex point=\"1 2", 1, 1},
        {"hugeObjectCount", "<ObjectList numObject=\"99999999999\" rotation=\"0 0 1 0\">\n" + oneTriangleObject +
                                "</ObjectList>\n", 0, 0},
        {"hugePolygonAndVertexCounts", head() + "<Object numPolygon=\"1e9\">\n" + triangle("", 0, 1) +
                                           "</Object>\n<Object numPolygon=\"1\">\n<Polygon numVertex=\"2147483648\">"
                                           "\n<Vertex point=\"1 1 1\"/>\n</Polygon>\n</Object>\n</ObjectList>\n",
         1, 0},
        {"zeroAndNegativeCounts", head(2) + "<Object numPolygon=\"0\">\n" + triangle("", 0, 1) + "</Object>\n" +
                                      "<Object numPolygon=\"-4\">\n" + triangle("", 0, 1) + "</Object>\n" +
                                      "</ObjectList>\n", 2, 0},
        {"missingCounts", "<ObjectList rotation=\"0 0 1 0\">\n<Object>\n<Polygon>\n<Vertex point=\"1 1 1\"/>\n"
                          "</Polygon>\n</Object>\n</ObjectList>\n", 0, 0},
        {"notANumber", head() + "<Object numPolygon=\"many\">\n" + triangle("", 0, 1) + "</Object>\n</ObjectList>\n",
         1, 0},
        {"moreVerticesThanNumVertex", head() + "<Object numPolygon=\"1\">\n<Polygon numVertex=\"3\">\n" +
                                          "<Vertex point=\"1 0 0\"/>\n<Vertex point=\"0 1 0\"/>\n"
                                          "<Vertex point=\"0 0 1\"/>\n<Vertex point=\"9 9 9\"/>\n"
                                          "<Vertex point=\"9 9 9\"/>\n</Polygon>\n</Object>\n</ObjectList>\n",
         1, 1},
        {"morePolygonsThanNumPolygon", head() + "<Object numPolygon=\"1\">\n" + triangle("", 0, 1) +
                                           triangle("", 0, 1) + triangle("", 0, 1) + "</Object>\n</ObjectList>\n",
         1, 1},
        {"moreObjectsThanNumObject", head() + oneTriangleObject + oneTriangleObject + oneTriangleObject +
                                         "</ObjectList>\n", 1, 1},
        {"fewerPolygonsThanNumPolygon", head() + "<Object numPolygon=\"5\">\n" + triangle("", 0, 1) +
                                            "</Object>\n</ObjectList>\n", 1, 1},
        {"fewerObjectsThanNumObject", head(4) + oneTriangleObject + "</ObjectList>\n", 1, 1},
        {"longObjectListLine", "<ObjectList numObject=\"1\" rotation=\"0 0 1 0\" " + longText + "\n" +
                                   oneTriangleObject + "</ObjectList>\n", 1, 1},
        {"longLinesInsideElements", head() + "<Object numPolygon=\"1\" " + longText + "</Object>\n" +
                                        "<Polygon numVertex=\"3\" " + longText + "\n" +
                                        "<Vertex point=\"" + longText + "\"/>\n<Vertex point=\"1 1 1\"/>\n" +
                                        "<Vertex point=\"1 1 1\" " + longText + "</Polygon>\n" + "</Polygon>\n" +
                                        "</Object>\n</ObjectList>\n", 1, 1},
        {"attributeWithoutValue", head() + "<Object numPolygon=\"1\">\n<Polygon numVertex=\"3\" texture=\n"
                                           "<Vertex point=\n<Vertex colour=\n<Vertex uv=\"\n</Polygon>\n</Object>\n"
                                           "</ObjectList>\n", 1, 1},
        {"unclosedElementsAtEnd", head(2) + oneTriangleObject + "<Object numPolygon=\"2\">\n" +
                                      triangle("", 0, 1) + "<Polygon numVertex=\"4\">\n<Vertex point=\"1 1 1\"/>\n",
         2, 3},
        {"binaryGarbage", binaryGarbage(), 1, 0},
    };
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Files, MalformedModel, ::testing::ValuesIn(malformedCases()),
                         [](const ::testing::TestParamInfo<MalformedCase>& info) { return info.param.label; });

TEST_F(ModelLoader, MissingAttributesGetDefaults) {
    ObjectList& model = load(head() + "<Object numPolygon=\"1\">\n<Polygon numVertex=\"4\">\n"
                                      "<Vertex point=\"1 2 3\"/>\n<Vertex normal=\"0 1 0\"/>\n<Vertex/>\n"
                                      "</Polygon>\n</Object>\n</ObjectList>\n");
    ASSERT_EQ(model.numObject, 1);
    const Polygon& polygon = model.objects[0].polygons[0];
    EXPECT_EQ(polygon.isTextured, 0);
    EXPECT_EQ(polygon.texture, 0u);
    EXPECT_EQ(polygon.red, 255);
    EXPECT_EQ(polygon.green, 255);
    EXPECT_EQ(polygon.blue, 255);
    ASSERT_EQ(polygon.numVertex, 4);
    EXPECT_FLOAT_EQ(polygon.points[2], 3.0f);
    EXPECT_FLOAT_EQ(polygon.normals[0], 0.0f);   // first vertex had no normal
    EXPECT_FLOAT_EQ(polygon.normals[4], 1.0f);
    EXPECT_FLOAT_EQ(polygon.points[9], 0.0f);    // fourth vertex never given
    for (int i = 0; i < 12; ++i) EXPECT_EQ(polygon.colours[i], 255) << "colour component " << i;
    EXPECT_TRUE(textureRequests.empty());
}

TEST(ModelAttributes, ValuesAreCutOutByPosition) {
    char value[modelElementLineSize];
    attributeValue("<Vertex point=\"1 2 3\" uv=\"0.5 1\"/>", "uv", value);
    EXPECT_STREQ(value, "0.5 1");
    attributeValue("<Vertex point=\"1 2 3\"/>", "normal", value);
    EXPECT_STREQ(value, "");
    attributeValue("<Polygon texture=\"unclosed", "texture", value);
    EXPECT_STREQ(value, "");
    int triple[3];
    readIntTriple("<Polygon colour=\"-1 128 7.9\">", "colour", triple);
    EXPECT_EQ(triple[0], -1);
    EXPECT_EQ(triple[1], 128);
    EXPECT_EQ(triple[2], 7);
    readIntTriple("<Vertex colour=\"1 2 3 4\"/>", "colour", triple);  // middle part is "2 3"
    EXPECT_EQ(triple[0], 1);
    EXPECT_EQ(triple[1], 2);
    EXPECT_EQ(triple[2], 4);
}
