// modelLoader.cpp -- the plant model line scanner; see modelLoader.h.
//
// Every line is read into a fixed buffer (511 characters at the ObjectList
// level, 999 inside elements, the limit of the text helpers); the rest of a
// longer line is skipped. Every array index is checked against the count the
// array was allocated with, so no file, however malformed, reaches outside.
#include "vegetation/modelLoader.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "image/textureRegistry.h"
#include "util/fileOpen.h"
#include "util/output.h"
#include "util/text.h"

char modelDirectory[1000] = "";
ModelTextureSource modelTextureSource = getTexture;

namespace {

// Name of the file being read, for messages.
const char* currentModelFile = "";

bool contains(const char* line, const char* pattern) { return findText(line, pattern) >= 0; }

// A decimal number truncated to an integer; text without a leading number,
// NaN and values beyond the int range give 0 or the nearest int limit.
int truncatedNumber(const char* text) {
    double value = strtod(text, nullptr);
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return 2147483647;
    if (value <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(value);
}

// Reads the next line into buffer (size characters with the terminator). A
// longer line is cut: the rest of it up to its newline is skipped.
int readModelLine(FILE* file, char* buffer, int size) {
    if (!readLine(file, buffer, size)) return 0;
    if (static_cast<int>(strlen(buffer)) == size - 1) {
        int c = fgetc(file);
        if (c != '\n' && c != EOF) {
            while (c != '\n' && c != EOF) c = fgetc(file);
            outputPrintf("File %s: a line longer than %d characters was cut\n", currentModelFile, size - 1);
        }
    }
    return 1;
}

void copyLine(const char* line, char* buffer, int size) {
    strncpy(buffer, line, static_cast<size_t>(size) - 1);
    buffer[size - 1] = '\0';
}

// The count attribute name on line, or 0 (with a message) when it is not a
// number from 1 to limit.
int readCount(const char* line, const char* name, int limit) {
    char value[modelElementLineSize];
    attributeValue(line, name, value);
    char* end = nullptr;
    double number = strtod(value, &end);
    if (end != value && number >= 1.0 && number < static_cast<double>(limit) + 1.0)
        return static_cast<int>(number);
    outputPrintf("File %s: %s \"%s\" refused (must be 1 to %d); its elements are ignored\n", currentModelFile,
                 name, value, limit);
    return 0;
}

// Floats of a "%f %f ..." attribute; components that are missing keep their
// value (0 from the caller's defaults).
void readFloats(const char* line, const char* name, float* out, int count) {
    if (!contains(line, name)) return;
    char value[modelElementLineSize];
    attributeValue(line, name, value);
    if (count == 2) sscanf(value, "%f %f", &out[0], &out[1]);
    else sscanf(value, "%f %f %f", &out[0], &out[1], &out[2]);
}

void releasePolygon(Polygon& polygon) {
    delete[] polygon.points;
    delete[] polygon.normals;
    delete[] polygon.colours;
    delete[] polygon.uvs;
    polygon = Polygon{};
}

void releaseObject(Object& object) {
    for (int i = 0; i < object.numPolygon; ++i) releasePolygon(object.polygons[i]);
    delete[] object.polygons;
    object = Object{};
}

// Allocates the four vertex arrays: points and normals at zero, colours white.
bool allocateVertices(Polygon& polygon, int count) {
    polygon.points = new (std::nothrow) float[3 * count]();
    polygon.normals = new (std::nothrow) float[3 * count]();
    polygon.colours = new (std::nothrow) int32_t[3 * count];
    polygon.uvs = new (std::nothrow) float[2 * count]();
    if (!polygon.points || !polygon.normals || !polygon.colours || !polygon.uvs) {
        releasePolygon(polygon);
        outputPrintf("File %s: out of memory for %d vertices\n", currentModelFile, count);
        return false;
    }
    for (int i = 0; i < 3 * count; ++i) polygon.colours[i] = 255;
    polygon.numVertex = count;
    return true;
}

// Extends the object's bounds by one point; the first point sets them.
void extendBounds(Object& object, const float* p) {
    if (object.boundsSet == 0.0f) {
        object.minX = object.maxX = p[0];
        object.minY = object.maxY = p[1];
        object.minZ = object.maxZ = p[2];
        object.boundsSet = 1.0f;
        return;
    }
    if (p[0] < object.minX) object.minX = p[0];
    if (p[0] > object.maxX) object.maxX = p[0];
    if (p[1] < object.minY) object.minY = p[1];
    if (p[1] > object.maxY) object.maxY = p[1];
    if (p[2] < object.minZ) object.minZ = p[2];
    if (p[2] > object.maxZ) object.maxZ = p[2];
}

}  // namespace

void attributeValue(const char* line, const char* name, char* value) {
    value[0] = '\0';
    int at = findText(line, name);
    if (at < 0) return;
    int length = static_cast<int>(strnlen(line, modelElementLineSize - 1));
    int from = at + static_cast<int>(strlen(name)) + 2;
    if (from >= length) return;
    copyRange(line, from, length - 1, value);
    char* quote = strchr(value, '"');
    if (quote) *quote = '\0';
    else value[0] = '\0';
}

void readIntTriple(const char* line, const char* name, int triple[3]) {
    char value[modelElementLineSize];
    char part[textLimit];
    attributeValue(line, name, value);
    int firstBlank = findText(value, " ");
    int lastBlank = findLastText(value, " ");
    int length = static_cast<int>(strlen(value));
    copyRange(value, 0, firstBlank, part);
    triple[0] = truncatedNumber(part);
    copyRange(value, firstBlank, lastBlank, part);
    triple[1] = truncatedNumber(part);
    copyRange(value, lastBlank, length - 1, part);
    triple[2] = truncatedNumber(part);
}

Polygon parsePolygon(FILE* file, const char* firstLine) {
    Polygon polygon;
    char line[modelElementLineSize];
    copyLine(firstLine, line, modelElementLineSize);
    int vertexIndex = -1;
    bool countSeen = false;
    bool overflowReported = false;
    for (;;) {
        if (contains(line, "numVertex")) {
            if (countSeen) {
                outputPrintf("File %s: a second numVertex in one Polygon is ignored\n", currentModelFile);
            } else {
                countSeen = true;
                int count = readCount(line, "numVertex", maxModelVertices);
                if (count > 0) allocateVertices(polygon, count);
            }
        }
        if (contains(line, "isTextured")) {
            char value[modelElementLineSize];
            attributeValue(line, "isTextured", value);
            polygon.isTextured = truncatedNumber(value);
        }
        if (contains(line, "texture")) {
            char value[modelElementLineSize];
            char fullName[2 * modelElementLineSize];
            attributeValue(line, "texture", value);
            // An empty value names no file: the polygon keeps texture 0.
            if (value[0] != '\0' && modelTextureSource) {
                snprintf(fullName, sizeof fullName, "%s%s", modelDirectory, value);
                polygon.texture = modelTextureSource(fullName);
            }
        }
        if (contains(line, "colour") && contains(line, "Polygon")) {
            int colour[3];
            readIntTriple(line, "colour", colour);
            polygon.red = colour[0];
            polygon.green = colour[1];
            polygon.blue = colour[2];
        }
        if (contains(line, "<Vertex")) {
            ++vertexIndex;
            if (vertexIndex < polygon.numVertex) {
                readFloats(line, "point", &polygon.points[3 * vertexIndex], 3);
                readFloats(line, "normal", &polygon.normals[3 * vertexIndex], 3);
                if (contains(line, "colour")) readIntTriple(line, "colour", &polygon.colours[3 * vertexIndex]);
                readFloats(line, "uv", &polygon.uvs[2 * vertexIndex], 2);
            } else if (!overflowReported) {
                overflowReported = true;
                outputPrintf("File %s: more Vertex lines than numVertex (%d); the rest are ignored\n",
                             currentModelFile, polygon.numVertex);
            }
        }
        if (contains(line, "</Polygon>")) break;
        if (!readModelLine(file, line, modelElementLineSize)) {
            outputText("Tag wasn't closed properly!\n");
            break;
        }
    }
    if (vertexIndex + 1 < polygon.numVertex)
        outputPrintf("File %s: a Polygon has %d of its %d vertices; the others are at the origin\n",
                     currentModelFile, vertexIndex + 1, polygon.numVertex);
    return polygon;
}

Object parseObject(FILE* file, const char* firstLine) {
    Object object;
    char line[modelElementLineSize];
    copyLine(firstLine, line, modelElementLineSize);
    int allocated = 0;
    int polygonIndex = -1;
    int stored = 0;
    bool countSeen = false;
    bool overflowReported = false;
    for (;;) {
        if (contains(line, "numPolygon")) {
            if (countSeen) {
                outputPrintf("File %s: a second numPolygon in one Object is ignored\n", currentModelFile);
            } else {
                countSeen = true;
                int count = readCount(line, "numPolygon", maxModelPolygons);
                if (count > 0) {
                    object.polygons = new (std::nothrow) Polygon[count];
                    if (object.polygons) allocated = count;
                    else outputPrintf("File %s: out of memory for %d polygons\n", currentModelFile, count);
                }
            }
        } else if (contains(line, "<Polygon")) {
            ++polygonIndex;
            Polygon polygon = parsePolygon(file, line);
            if (polygonIndex < allocated) {
                object.polygons[polygonIndex] = polygon;
                stored = polygonIndex + 1;
                if (polygonIndex == 0) object.texture = polygon.texture;
                else if (polygon.texture != object.texture) object.sameTexture = 0;
                for (int v = 0; v < polygon.numVertex; ++v) extendBounds(object, &polygon.points[3 * v]);
            } else {
                releasePolygon(polygon);
                if (!overflowReported) {
                    overflowReported = true;
                    outputPrintf("File %s: more Polygon elements than numPolygon (%d); the rest are ignored\n",
                                 currentModelFile, allocated);
                }
            }
        }
        if (contains(line, "</Object>")) break;
        if (!readModelLine(file, line, modelElementLineSize)) {
            outputText("Tag wasn't closed properly!\n");
            break;
        }
    }
    if (stored < allocated)
        outputPrintf("File %s: an Object has %d of its %d polygons\n", currentModelFile, stored, allocated);
    object.numPolygon = stored;
    return object;
}

ObjectList readObjectList(FILE* file, const char* fileName) {
    currentModelFile = fileName ? fileName : "";
    copyRange(currentModelFile, 0, findLastText(currentModelFile, "\\"), modelDirectory);
    outputDiagnosticPrintf("the path %s\n", modelDirectory);

    ObjectList model;
    int allocated = 0;
    int objectIndex = -1;
    int stored = 0;
    bool countSeen = false;
    bool overflowReported = false;
    char line[modelListLineSize];
    for (;;) {
        if (skipWhitespace(file) == EOF) break;
        if (!readModelLine(file, line, modelListLineSize)) break;
        if (!contains(line, "<ObjectList")) continue;
        bool closed = false;
        while (!closed) {
            if (contains(line, "numObject")) {
                if (countSeen) {
                    outputPrintf("File %s: a second numObject is ignored\n", currentModelFile);
                } else {
                    countSeen = true;
                    int count = readCount(line, "numObject", maxModelObjects);
                    if (count > 0) {
                        model.objects = new (std::nothrow) Object[count];
                        if (model.objects) allocated = count;
                    }
                }
            }
            if (contains(line, "alpha")) {
                char value[modelElementLineSize];
                attributeValue(line, "alpha", value);
                sscanf(value, "%f", &model.alpha);
                model.hasAlpha = 1;
            }
            if (contains(line, "scale")) {
                char value[modelElementLineSize];
                attributeValue(line, "scale", value);
                sscanf(value, "%f %f %f", &model.scale[0], &model.scale[1], &model.scale[2]);
                model.isScaled = 1;
            }
            if (contains(line, "rotation")) {
                char value[modelElementLineSize];
                attributeValue(line, "rotation", value);
                sscanf(value, "%f %f %f %f", &model.rotation[0], &model.rotation[1], &model.rotation[2],
                       &model.rotation[3]);
                model.isRotated = 1;
            } else if (contains(line, "<Object")) {
                ++objectIndex;
                Object object = parseObject(file, line);
                if (objectIndex < allocated) {
                    model.objects[objectIndex] = object;
                    stored = objectIndex + 1;
                } else {
                    releaseObject(object);
                    if (!overflowReported) {
                        overflowReported = true;
                        outputPrintf("File %s: more Object elements than numObject (%d); the rest are ignored\n",
                                     currentModelFile, allocated);
                    }
                }
            }
            if (contains(line, "</ObjectList>")) closed = true;
            if (!closed && !readModelLine(file, line, modelListLineSize)) {
                outputText("Tag wasn't closed properly!\n");
                break;
            }
        }
    }
    if (stored < allocated)
        outputPrintf("File %s: the model has %d of its %d objects\n", currentModelFile, stored, allocated);
    model.numObject = stored;

    for (int i = 0; i < model.numObject; ++i) {
        const Object& object = model.objects[i];
        model.polygonTotal += object.numPolygon;
        if (model.boundsSet == 0.0f) {
            model.minX = object.minX;
            model.maxX = object.maxX;
            model.minY = object.minY;
            model.maxY = object.maxY;
            model.minZ = object.minZ;
            model.maxZ = object.maxZ;
            model.boundsSet = 1.0f;
            continue;
        }
        if (object.minX < model.minX) model.minX = object.minX;
        if (object.maxX > model.maxX) model.maxX = object.maxX;
        if (object.minY < model.minY) model.minY = object.minY;
        if (object.maxY > model.maxY) model.maxY = object.maxY;
        if (object.minZ < model.minZ) model.minZ = object.minZ;
        if (object.maxZ > model.maxZ) model.maxZ = object.maxZ;
    }
    currentModelFile = "";
    return model;
}

ObjectList loadObjectList(const char* fileName) {
    createTextureRegistry();
    std::string reason;
    long long size = 0;
    FILE* file = openRegularFile(fileName, "r", reason, &size);
    if (!file) {
        outputPrintf("File %s couldn't be opened: %s\n", fileName, reason.c_str());
        return ObjectList{};
    }
    ObjectList model = readObjectList(file, fileName);
    fclose(file);
    if (model.numObject == 0) {
        outputPrintf("Cannot load plant model %s: %s\n", fileName,
                     size == 0 ? "the file is empty" : "no <ObjectList> with <Object> elements in the file");
    }
    return model;
}

void releaseObjectList(ObjectList& model) {
    for (int i = 0; i < model.numObject; ++i) releaseObject(model.objects[i]);
    delete[] model.objects;
    model = ObjectList{};
}
